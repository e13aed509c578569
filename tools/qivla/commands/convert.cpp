// qivla convert: a matrix file rewritten in either format. Every file
// written is read back and compared bit for bit before it is put in place.
#include "commands/common.h"

namespace qivla {

int cmd_convert(const Args& args) {
    const std::string& out = args.positional[1];
    const FileKind kind = out == "-" ? FileKind::matrix_market : kind_from_name(out);
    if (kind == FileKind::unknown)
        throw UsageError{"cannot tell the format of '" + escaped(out) +
                         "': name it .mtx, or .rua/.cua/.hb"};
    if (args.has("--array") && kind != FileKind::matrix_market)
        throw UsageError{"--array is for Matrix Market output"};
    check_output_target(out, "the output");
    Progress progress(false);
    const MatrixFile m = load(args.positional[0], progress);
    if (kind == FileKind::matrix_market)
        write_matrix_market(out, m, args.has("--array"));
    else
        write_harwell_boeing(out, m);
    return status_ok;
}

}  // namespace qivla
