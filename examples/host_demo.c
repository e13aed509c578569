/* A host program as an application would write it: it loads the module by
 * name at run time, binds the exports by name and calls them. */
#include <dlfcn.h>
#include <stdio.h>

int main(int argc, char** argv) {
    const char* name = argc > 1 ? argv[1] : "libqivlapackdll2.so";
    void* module = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        fprintf(stderr, "cannot load %s: %s\n", name, dlerror());
        return 1;
    }
    void (*testfn)(void) = (void (*)(void))dlsym(module, "qivcppdlltemplate_exportedtestfn");
    if (!testfn) {
        fprintf(stderr, "cannot bind qivcppdlltemplate_exportedtestfn\n");
        return 1;
    }
    testfn();
    printf("loaded %s and called qivcppdlltemplate_exportedtestfn\n", name);
    dlclose(module);
    return 0;
}
