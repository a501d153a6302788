#!/bin/sh
# The signing step with a throwaway self-signed certificate: the signed program carries a
# signature that verifies against that certificate, and it still runs. Signed twice, a
# second apart, it has the same bytes (the signing time is SOURCE_DATE_EPOCH), and the
# signature taken from it and attached to the unsigned program gives it back: a signed zip
# is the reproducible one plus signatures.
#   check-signing.sh PROGRAM.exe WORK_DIR
set -u
program=$1 work=$2
for tool in openssl osslsigncode; do
    command -v $tool >/dev/null 2>&1 || { echo "skipped: $tool is not installed"; exit 0; }
done
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Velt-USB test signer" \
    -keyout key.pem -out cert.pem >/dev/null 2>&1 || { echo "FAIL: no certificate"; exit 1; }
cp "$program" signed.exe
if osslsigncode verify -CAfile cert.pem -in signed.exe >/dev/null 2>&1; then
    echo "FAIL: the unsigned program verifies"
    exit 1
fi
"$here/../../scripts/sign-windows.sh" cert.pem key.pem signed.exe || { echo "FAIL: signing"; exit 1; }
verify=$(osslsigncode verify -CAfile cert.pem -in signed.exe 2>&1) || {
    echo "FAIL: the signature does not verify:"
    echo "$verify"
    exit 1
}
echo "$verify" | grep -q "Velt-USB test signer" || { echo "FAIL: not our signer"; exit 1; }
sleep 1
cp "$program" again.exe
"$here/../../scripts/sign-windows.sh" cert.pem key.pem again.exe || { echo "FAIL: signing again"; exit 1; }
cmp signed.exe again.exe || { echo "FAIL: one program signed twice differs"; exit 1; }
osslsigncode extract-signature -in signed.exe -out signature.der >/dev/null 2>&1 &&
    osslsigncode attach-signature -sigin signature.der -CAfile cert.pem -in "$program" \
        -out attached.exe >/dev/null 2>&1 || { echo "FAIL: moving the signature"; exit 1; }
cmp signed.exe attached.exe || { echo "FAIL: the unsigned program with the signature differs"; exit 1; }
"$here/wine-run" ./signed.exe --version
