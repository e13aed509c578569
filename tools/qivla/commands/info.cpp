// qivla info: the module's path, the instruction set of its kernels, its
// exports.
#include "commands/common.h"
#include "platform.h"

namespace qivla {

int cmd_info(const Args& args, const Context& ctx) {
    std::ostream& out = ctx.out;
    std::string error;
    const std::string path = ctx.lib.path();
    const std::vector<std::string> exports = exported_functions(path, &error);
    if (args.has("--json")) {
        JsonWriter j;
        j.begin_object();
        j.key("command").value("info");
        j.key("loaded_as").value(ctx.lib.name());
        module_json(j, ctx.lib);
        j.key("exports").begin_array();
        for (const std::string& e : exports) j.value(e);
        j.end_array();
        j.key("bound").begin_array();
        for (const std::string& e : q::Module::export_names()) j.value(e);
        j.end_array();
        j.end_object();
        out << j.str() << "\n";
        return status_ok;
    }
    out << "module:  " << path << " (loaded as " << ctx.lib.name() << ")\n";
    out << "kernels: " << kernel_isa()
        << " (the instruction set the module's fast kernels choose here)\n";
    if (exports.empty()) {
        out << "exports: (" << error << ")\n";
    } else {
        out << "exports:\n";
        for (const std::string& e : exports) out << "  " << e << "\n";
    }
    out << "bound:   all " << q::Module::export_names().size() << " exports the host needs\n";
    return status_ok;
}

}  // namespace qivla
