#!/bin/sh
# Makes the mail tests' certificates in the directory given (a few EC keys: fast). All server certificates
# share server.key. ca.crt is the CA the tests trust; the servers' NAME.crt:
#   localhost    for localhost, from that CA
#   other        for another host name, from that CA
#   stranger     for localhost, from a CA nobody trusts
#   selfsigned   for localhost, signed by its own key
#   expired      for localhost, from the trusted CA, valid for one day in 2020
set -e
cd "$1"
ec="-newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes"
openssl req -x509 $ec -keyout ca.key -out ca.crt -subj "/CN=Mail test CA" -days 2 2>/dev/null
openssl req -x509 $ec -keyout stranger-ca.key -out stranger-ca.crt -subj "/CN=Unknown CA" -days 2 2>/dev/null
openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out server.key
cert() { # file host [CA]
    openssl req -x509 -new -key server.key -subj "/CN=$2" -addext "subjectAltName=DNS:$2" \
        -addext basicConstraints=critical,CA:FALSE ${3:+-CA $3.crt -CAkey $3.key} -days 2 -out "$1.crt"
}
cert localhost localhost ca
cert other other.test ca
cert stranger localhost stranger-ca
cert selfsigned localhost
# Only the CA command takes a validity in the past.
printf '[ca]\ndefault_ca=d\n[d]\ndatabase=index.txt\nnew_certs_dir=.\ncopy_extensions=copy\nserial=serial\ndefault_md=sha256\npolicy=p\n[p]\ncommonName=supplied\n' >ca.cnf
: >index.txt
echo 01 >serial
openssl req -new -key server.key -subj /CN=localhost -addext subjectAltName=DNS:localhost -out expired.csr
openssl ca -batch -config ca.cnf -cert ca.crt -keyfile ca.key -in expired.csr -out expired.crt -notext \
    -startdate 20200101000000Z -enddate 20200102000000Z 2>/dev/null
