# Shared by tests/vm/run and tests/vm/run-wine, sourced after they define
# boot LIMIT ACCEL CONSOLE KERNEL-ARGS and set $accel (auto, kvm or tcg) and $work.

now_ms() { echo $(($(date +%s%N) / 1000000)); }
seconds() { printf '%d.%d' $(($1 / 1000)) $(($1 % 1000 / 100)); }

# On some hosts /dev/kvm is there and writable, yet a KVM guest hangs in early boot and
# the run would only end at its time limit. So KVM must prove itself first: the same
# kernel and the usual initramfs, told to power off as soon as the init runs, must print a
# marker within a few seconds (a working KVM needs about one). Otherwise the run takes
# TCG. Sets $accel to kvm or tcg and $why to the reason.
choose_accel() {
    probe_limit=5
    if [ "$accel" != auto ]; then
        why="--accel $accel"
    elif [ ! -e /dev/kvm ]; then
        accel=tcg
        why="no /dev/kvm"
    elif [ ! -w /dev/kvm ]; then
        accel=tcg
        why="/dev/kvm is not writable"
    else
        probe_console=$work/probe-console.log
        rm -f "$probe_console"
        probe_start=$(now_ms)
        boot "$probe_limit" kvm "$probe_console" velt.probe=1 >"$work/probe-qemu.log" 2>&1
        probe_status=$?
        probe_ms=$(($(now_ms) - probe_start))
        if tr -d '\r' <"$probe_console" 2>/dev/null | grep -q '^VM: PROBE OK'; then
            accel=kvm
            why="the KVM probe reached the init in $(seconds "$probe_ms") s"
        else
            accel=tcg
            if [ $probe_status -eq 124 ] || [ $probe_status -eq 137 ]; then
                why="the KVM probe printed no marker within ${probe_limit} s (a KVM guest hangs here)"
            elif [ $probe_status -ne 0 ]; then
                # qemu gave up by itself: its own words say why.
                why="qemu -accel kvm failed: $(grep -v 'warning:' "$work/probe-qemu.log" | head -n 1)"
            else
                why="the KVM guest stopped without printing the marker (see $probe_console)"
            fi
            why="$why; the probe took $(seconds "$probe_ms") s"
        fi
    fi
}
