#!/bin/sh
# A test certificate authority and code-signing certificate, made with openssl,
# and the files given signed with them (tools/sign.sh), for test machines and
# for the signing test:
#   tools/test-sign.sh DIR [FILE...]
# DIR keeps, made once and reused:
#   zephra-test-ca.cer         the authority, for Windows' "Trusted Root
#                              Certification Authorities" store (ca.pem: the same, PEM)
#   zephra-test-signing.cer    the signing certificate, for "Trusted Publishers"
#   signing.p12, password      the certificate and key, and the key's password,
#                              as the release command takes them
# and a signed copy of each FILE under its own name. Not for anything but a test
# machine: the authority's key lies next to it.
set -eu
dir=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$dir"
if [ ! -f "$dir/signing.p12" ]; then
  (
    cd "$dir"
    umask 077
    openssl rand -hex 16 >password
    openssl req -x509 -newkey rsa:3072 -nodes -keyout ca.key -out ca.pem -days 3650 -sha256 \
      -subj "/CN=Zephra Button test authority" \
      -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
    openssl req -newkey rsa:3072 -nodes -keyout signing.key -out signing.csr -subj "/CN=Zephra Button test signing" 2>/dev/null
    printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >signing.ext
    openssl x509 -req -in signing.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 3650 -sha256 \
      -extfile signing.ext -out signing.pem 2>/dev/null
    openssl pkcs12 -export -inkey signing.key -in signing.pem -certfile ca.pem -passout file:password -out signing.p12
    openssl x509 -in ca.pem -outform DER -out zephra-test-ca.cer
    openssl x509 -in signing.pem -outform DER -out zephra-test-signing.cer
    rm -f signing.csr signing.ext ca.srl
    chmod 644 ca.pem zephra-test-ca.cer zephra-test-signing.cer
  )
  echo "test-sign: made a test authority and signing certificate in $dir"
fi
for file in "$@"; do
  cp "$file" "$dir/"
  ZEPH_SIGN_PKCS12=$dir/signing.p12 ZEPH_SIGN_PASSWORD_FILE=$dir/password "$here/sign.sh" "$dir/$(basename "$file")"
  echo "test-sign: $dir/$(basename "$file") signed"
done
