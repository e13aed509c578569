/* Links the installed module through its package and calls it. */
#include <qivlapackdll2.h>
#include <stdio.h>

int main(void) {
    qivcppdlltemplate_exportedtestfn();
    printf("consumer: ok\n");
    return 0;
}
