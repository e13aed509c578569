/* Links the installed module through its package and calls it: the test
 * entry, then a 2-by-2 complex system whose solution is exact in binary64. */
#include <qivlapackdll2.h>
#include <stdio.h>

int main(void) {
    qivcppdlltemplate_exportedtestfn();

    /* A = [[i, 2], [0, 4]] by columns; b = A * (1 - i, 0.5). */
    qivlapackdll2_complex a[4] = {{0, 1}, {0, 0}, {2, 0}, {4, 0}};
    qivlapackdll2_complex b[2] = {{2, 1}, {2, 0}};
    int n = 2, nrhs = 1, lda = 2, ldb = 2, ipiv[2] = {0, 0}, info = -1;
    qivlapackdll2_zgesv(&n, &nrhs, a, &lda, ipiv, b, &ldb, &info);
    if (info != 0 || ipiv[0] != 1 || ipiv[1] != 2 || b[0].re != 1 || b[0].im != -1 ||
        b[1].re != 0.5 || b[1].im != 0) {
        printf("consumer: wrong solution (%g%+gi, %g%+gi), info %d\n", b[0].re, b[0].im, b[1].re,
               b[1].im, info);
        return 1;
    }
    printf("consumer: ok\n");
    return 0;
}
