#!/usr/bin/env bash
# Signing: tarnpack build --sign-pkcs12 with a throwaway self-signed
# certificate made by openssl (password in TARN_SIGN_PASSWORD). The signed
# setup must pass osslsigncode verify (against that certificate) with the
# product's name as the signature's description, be read whole by
# tarnpack test although the certificate table follows the archive, and
# install under Wine. A byte changed in the archive afterwards must break
# the signature: it covers the archive. A wrong password or a missing
# certificate fails the build and leaves nothing behind.
source "$(dirname "$0")/lib.sh"

E2eRequire "$TARN_TARNPACK" "$TARN_STUB" "$TARN_DRIVER"
for Tool in openssl osslsigncode; do
  command -v "$Tool" >/dev/null || { E2eFail "$Tool is not installed"; E2eFinish; }
done

Keys=$TARN_ARTIFACTS/keys
Project=$TARN_ARTIFACTS/project
Target="$TARN_ARTIFACTS/target/Signed Tool"
rm -rf "$Keys" "$Project" "$TARN_ARTIFACTS/target" "$TARN_ARTIFACTS"/*.exe*
mkdir -p "$Keys" "$Project/Presetup" "$Project/Data"
Password=throwaway-$RANDOM
openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -nodes -subj "/CN=Tarn Signing Test" \
  -addext extendedKeyUsage=codeSigning -keyout "$Keys/key.pem" -out "$Keys/cert.pem" >"$Keys/openssl.log" 2>&1 &&
  openssl pkcs12 -export -inkey "$Keys/key.pem" -in "$Keys/cert.pem" -out "$Keys/signer.p12" \
    -passout "pass:$Password" >>"$Keys/openssl.log" 2>&1 ||
  { cat "$Keys/openssl.log"; E2eFail "making the certificate"; E2eFinish; }

printf '[Config]\r\nPreInstallDialogSequence=DLG_WELCOME\r\nDefaultInstallPath=%s\r\nInsFiles=Tool\r\n' \
  "$(E2eWinPath "$Target")" >"$Project/Presetup/Tarn.ini"
printf 'ProductName=%%ProgramName%%\r\nProductVersion=1.0\r\n[Variables]\r\nProgramName=Signed Tool\r\n' \
  >>"$Project/Presetup/Tarn.ini"
printf '[CopyFile]\r\nFiles=%%InstallPath%%\r\n[Files]\r\nTool.txt=\r\n' >"$Project/Presetup/Tool.ins"
head -c 50000 /dev/urandom >"$Project/Data/Tool.txt"

Setup=$TARN_ARTIFACTS/signed.exe
TARN_SIGN_PASSWORD=$Password "$TARN_TARNPACK" build "$Project" -o "$Setup" --stub "$TARN_STUB" \
  --sign-pkcs12 "$Keys/signer.p12" >"$TARN_ARTIFACTS/build.log" 2>&1 ||
  { cat "$TARN_ARTIFACTS/build.log"; E2eFail "the signed build"; E2eFinish; }
E2eExpectLine "$TARN_ARTIFACTS/build.log" 'verified, signed' "the build says it signed"

osslsigncode verify -in "$Setup" -CAfile "$Keys/cert.pem" >"$TARN_ARTIFACTS/verify.log" 2>&1 ||
  E2eFail "osslsigncode verify rejects the signed setup"
E2eExpectLine "$TARN_ARTIFACTS/verify.log" '^Signature verification: ok' "the signature verifies"
E2eExpectLine "$TARN_ARTIFACTS/verify.log" 'Text description: Signed Tool' "the product's name describes the signature"
"$TARN_TARNPACK" test "$Setup" >"$TARN_ARTIFACTS/test.log" 2>&1 || E2eFail "tarnpack test of the signed setup"
E2eExpectLine "$TARN_ARTIFACTS/test.log" '^3 entries OK' "tarnpack test reads every entry of the signed setup"

# A byte of the archive changed after signing: the signature no longer holds.
cp "$Setup" "$TARN_ARTIFACTS/changed.exe"
Offset=$(($(stat -c %s "$TARN_STUB") + 5000))
printf '\x55' | dd of="$TARN_ARTIFACTS/changed.exe" bs=1 seek="$Offset" conv=notrunc status=none
if osslsigncode verify -in "$TARN_ARTIFACTS/changed.exe" -CAfile "$Keys/cert.pem" >"$TARN_ARTIFACTS/changed.log" 2>&1; then
  E2eFail "a setup changed after signing still verifies"
fi

# Failures leave nothing behind.
TARN_SIGN_PASSWORD=wrong-$Password "$TARN_TARNPACK" build "$Project" -o "$TARN_ARTIFACTS/wrong.exe" \
  --stub "$TARN_STUB" --sign-pkcs12 "$Keys/signer.p12" >"$TARN_ARTIFACTS/wrong.log" 2>&1
E2eExpectEqual "$?" 1 "exit code with a wrong password"
E2eExpectLine "$TARN_ARTIFACTS/wrong.log" 'signing failed; nothing written: osslsigncode said:' "the wrong password is reported"
"$TARN_TARNPACK" build "$Project" -o "$TARN_ARTIFACTS/missing.exe" --stub "$TARN_STUB" \
  --sign-pkcs12 "$Keys/none.p12" >"$TARN_ARTIFACTS/missing.log" 2>&1
E2eExpectEqual "$?" 1 "exit code with a missing certificate"
E2eExpectLine "$TARN_ARTIFACTS/missing.log" 'cannot read the certificate' "the missing certificate is reported"
Left=$(ls "$TARN_ARTIFACTS" | grep -E '^(wrong|missing)\.exe')
E2eExpectEqual "$Left" "" "files left by the failed builds"

# The signed setup installs.
E2eStart setup "$Setup"
SetupPid=$E2eLastPid
E2eDriver install --timeout 60000 <<'SCRIPT' || E2eFail "the signed setup's pages"
leave "Welcome!" 102 60000
wait-window "Installation complete" 60000
screenshot finish
press 104
wait-gone
SCRIPT
E2eWait "$SetupPid" 60
E2eExpectEqual "$?" 0 "exit code of the signed setup"
cmp -s "$Target/Tool.txt" "$Project/Data/Tool.txt" || E2eFail "the signed setup did not install Tool.txt"
E2eFinish
