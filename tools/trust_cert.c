/* trust_cert: adds a DER certificate to the local machine's trusted roots of the Wine prefix,
 * so that the end-to-end test's loopback TLS server is trusted there.
 *   trust_cert FILE.der    exit code 0 when the certificate is in the store */
#include <windows.h>
#include <wincrypt.h>
#include <stdio.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: trust_cert FILE.der\n");
        return 2;
    }
    FILE* f = fopen(argv[1], "rb");
    if (f == NULL)
        return 1;
    static BYTE der[16384];
    const size_t n = fread(der, 1, sizeof der, f);
    fclose(f);
    HCERTSTORE root = CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0,
                                    CERT_SYSTEM_STORE_LOCAL_MACHINE, "Root");
    if (root == NULL)
        return 1;
    const BOOL added = CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING, der, (DWORD)n,
                                                        CERT_STORE_ADD_REPLACE_EXISTING, NULL);
    CertCloseStore(root, 0);
    return added ? 0 : 1;
}
