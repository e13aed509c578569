#include "help.h"

namespace qivla {

const char* const usage_text =
    "usage: qivla COMMAND [ARGUMENTS] [OPTIONS]\n"
    "\n"
    "commands (qivla COMMAND --help tells more):\n"
    "  eig FILE... [--vectors none|right|left|both] [--cond] [--check sample|all|none]\n"
    "      [--out FILE] [--plot OUT.svg|OUT.png [--log]] [--all] [--json [--full]] [--jobs N]\n"
    "      eigenvalues, eigenvectors, their residuals and condition numbers;\n"
    "      several files (or a folder) are done in parallel\n"
    "  solve A-FILE [B-FILE] [--out FILE] [--all] [--json [--full]]\n"
    "      solves A*X = B; without B-FILE, B = A*(1,...,1)\n"
    "  lu FILE [--out FILE] [--all] [--json [--full]]\n"
    "      LU factorisation: pivots, INFO, growth factor, reciprocal pivot ratio\n"
    "  info [--json]\n"
    "      the module's path, the instruction set of its kernels, its exports\n"
    "  convert IN OUT [--array]\n"
    "      rewrites a matrix file in either format\n"
    "\n"
    "FILE is Matrix Market (.mtx) or Harwell-Boeing (.rua, .cua, ...), plain or\n"
    "gzip-compressed; - reads standard input. Values are decimal numbers (no\n"
    "hexadecimal floats); a value that overflows or underflows binary64 is refused.\n"
    "Every command but convert takes --module PATH (default: the QIVLA_MODULE\n"
    "environment variable, else libqivlapackdll2 found by name).\n"
    "Files written (--out, --plot, convert) appear complete or not at all.\n"
    "Exit status: 0 done, 1 the matrix is singular or the QR algorithm failed,\n"
    "2 bad command line, input file or output, 3 the module cannot be loaded;\n"
    "for several files, the worst of theirs.\n"
    "qivla --version prints the version.\n";

namespace {

const char* const eig_help =
    "usage: qivla eig FILE... [OPTIONS]\n"
    "\n"
    "Eigenvalues of a square matrix, listed by modulus (largest first).\n"
    "  --vectors none|right|left|both  eigenvectors to compute (default right)\n"
    "  --cond      condition numbers 1/|u^H v| of the eigenvalues (u, v unit left and\n"
    "              right vectors; computes both kinds). A perturbation of A of norm e\n"
    "              moves an eigenvalue by about e times its condition number: with\n"
    "              e near 1e-16 ||A||, a condition number of 1e8 leaves about 8 of\n"
    "              its 16 digits\n"
    "  --check sample|all|none  residuals ||A v - w v|| of the eigenpairs: a sample\n"
    "              of 64 evenly spread pairs (default; every pair up to order 64),\n"
    "              every pair, or none. The output says which ran\n"
    "  --out FILE  writes the eigenvalues (module order; with --cond a second\n"
    "              column of condition numbers) as Matrix Market, or Harwell-Boeing\n"
    "              for .rua/.cua/.hb; the vectors go to FILE with .right / .left\n"
    "              before its extension (w.mtx: w.right.mtx), N-by-N, column j\n"
    "              for eigenvalue j. - writes them all to standard output (the\n"
    "              report then goes to standard error). Values have 17 digits\n"
    "              and read back bit for bit\n"
    "  --plot OUT.svg|OUT.png [--log]  the spectrum in the complex plane, SVG or\n"
    "              PNG by the name; --log on symmetric logarithmic axes\n"
    "  --all       lists every eigenvalue (default: 20 when there are more than 30)\n"
    "  --json      one JSON object (eigenvalues in module order, residuals, ...);\n"
    "              --full adds the eigenvectors\n"
    "  --jobs N    with several files or a folder: N files at once, each on its\n"
    "              own thread calling the module (default: the processors, at most 8).\n"
    "              One report (one JSON line) per file, in the order given;\n"
    "              the exit status is the worst of the files'\n";

const char* const solve_help =
    "usage: qivla solve A-FILE [B-FILE] [OPTIONS]\n"
    "\n"
    "Solves A*X = B. Without B-FILE, B = A*(1,...,1), so the exact solution is\n"
    "known and the error is shown. Reports the backward error of each column.\n"
    "  --out FILE  writes X (Matrix Market, or Harwell-Boeing for .rua/.cua/.hb;\n"
    "              - for standard output, the report then goes to standard error)\n"
    "  --all       lists every entry of X (default: the first 10)\n"
    "  --json      one JSON object, X included; --full is accepted for symmetry\n"
    "Exit status 1 when A is singular (no X is written).\n";

const char* const lu_help =
    "usage: qivla lu FILE [OPTIONS]\n"
    "\n"
    "LU factorisation with partial pivoting of any M x N matrix: pivots, INFO,\n"
    "growth factor, reciprocal pivot ratio.\n"
    "  --out FILE  writes the packed factors (L below the diagonal with its unit\n"
    "              diagonal not stored, U on and above) to FILE and the pivots to\n"
    "              FILE with .pivots before its extension\n"
    "  --all       lists every pivot and every entry of the factors\n"
    "  --json      one JSON object; --full adds the factors\n"
    "Exit status 1 when a pivot is exactly zero (U is singular); the factors are\n"
    "still computed and written.\n";

const char* const info_help =
    "usage: qivla info [--json] [--module PATH]\n"
    "\n"
    "The module's path, the instruction set its kernels choose on this\n"
    "processor, and the functions it exports.\n";

const char* const convert_help =
    "usage: qivla convert IN OUT [--array]\n"
    "\n"
    "Rewrites a matrix file: OUT ending in .mtx is Matrix Market (coordinate, or\n"
    "array with --array), .rua/.cua/.hb Harwell-Boeing; a final .gz compresses;\n"
    "- writes Matrix Market to standard output. The file is read back and\n"
    "compared bit for bit before it replaces OUT, so OUT may be IN.\n";

}  // namespace

std::string command_help(const std::string& command) {
    if (command == "eig") return eig_help;
    if (command == "solve") return solve_help;
    if (command == "lu") return lu_help;
    if (command == "info") return info_help;
    if (command == "convert") return convert_help;
    return "";
}

}  // namespace qivla
