# Sourced by whatever starts wine for the Windows build: tells in a second whether this
# host can run 32-bit programs, which wine's 32-bit loader is. Some kernels boot with
# 32-bit emulation switched off; there every 32-bit program fails with "Exec format
# error", and the Windows programs run only inside the test VM.
#
#   wine_host_can_run   status 0 when wine can start here; $wine_host_why says why not
#                       (or why so), in words for a person
#
# VELT_WINDOWS_TESTS=vm forces the answer no, as on such a host; =host forces yes.
# VELT_WINE_LOADER names the 32-bit loader to try (Debian's by default).
wine_host_can_run() {
    loader=${VELT_WINE_LOADER:-/usr/lib/wine/wine}
    case "${VELT_WINDOWS_TESTS:-}" in
    vm)
        wine_host_why="VELT_WINDOWS_TESTS=vm asks for the test VM"
        return 1
        ;;
    host)
        wine_host_why="VELT_WINDOWS_TESTS=host asks for this host"
        return 0
        ;;
    esac
    if [ ! -x "$loader" ]; then
        # No wine at all: the tests say "skipped: ..." themselves.
        wine_host_why="wine's 32-bit loader $loader is not installed"
        return 0
    fi
    # bash, not timeout's execvp, starts it: execvp would take a program the kernel
    # refuses for a shell script and run it as one.
    wine_host_output=$(timeout -k 1 5 bash -c 'exec "$0" --version' "$loader" 2>&1)
    wine_host_status=$?
    if [ $wine_host_status -eq 0 ]; then
        wine_host_why="its 32-bit loader runs here ($wine_host_output)"
        return 0
    fi
    case "$wine_host_output" in
    *"Exec format error"* | *"cannot execute binary file"*)
        wine_host_why="this kernel refuses 32-bit programs (\"Exec format error\" from $loader)"
        ;;
    *)
        [ $wine_host_status -eq 124 ] && wine_host_output="no answer within 5 s"
        wine_host_why="$loader --version failed with status $wine_host_status: $(printf '%s' "$wine_host_output" | head -n 1)"
        ;;
    esac
    return 1
}
