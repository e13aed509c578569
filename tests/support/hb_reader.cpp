#include "support/hb_reader.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace qivtest {

namespace {

// One Fortran edit descriptor of the kind the format line uses: repeat count,
// letter (I, E, D, F) and field width, as in (20I4), (3D22.16), (1P,5E16.8).
struct Field {
    int count = 0;
    char letter = 0;
    int width = 0;
};

bool parse_format(const std::string& text, Field* f) {
    std::string s;
    for (char ch : text)
        if (!std::isspace(static_cast<unsigned char>(ch))) s += static_cast<char>(std::toupper(ch));
    if (s.size() < 3 || s.front() != '(' || s.back() != ')') return false;
    s = s.substr(1, s.size() - 2);
    // A scale factor such as 1P or 1P, comes first and does not affect reading.
    const std::size_t p = s.find('P');
    if (p != std::string::npos) {
        s = s.substr(p + 1);
        if (!s.empty() && s.front() == ',') s.erase(0, 1);
    }
    std::size_t i = 0;
    int count = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])))
        count = count * 10 + (s[i++] - '0');
    if (i >= s.size()) return false;
    f->count = count == 0 ? 1 : count;
    f->letter = s[i++];
    int width = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])))
        width = width * 10 + (s[i++] - '0');
    f->width = width;
    return (f->letter == 'I' || f->letter == 'E' || f->letter == 'D' || f->letter == 'F') &&
           width > 0;
}

// The parenthesised groups of a format line, in order.
std::vector<std::string> format_groups(const std::string& line) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    while ((pos = line.find('(', pos)) != std::string::npos) {
        const std::size_t end = line.find(')', pos);
        if (end == std::string::npos) break;
        out.push_back(line.substr(pos, end - pos + 1));
        pos = end + 1;
    }
    return out;
}

// A real field in Fortran style: D or E exponent letters, or an exponent
// written with its sign alone after the mantissa.
bool parse_real(std::string s, double* v) {
    std::string t;
    for (char ch : s)
        if (ch != ' ') t += ch;
    if (t.empty()) return false;
    for (char& ch : t)
        if (ch == 'D' || ch == 'd') ch = 'E';
    if (t.find('E') == std::string::npos && t.find('e') == std::string::npos) {
        const std::size_t sign = t.find_first_of("+-", 1);
        if (sign != std::string::npos) t.insert(sign, "E");
    }
    char* end = nullptr;
    *v = std::strtod(t.c_str(), &end);
    return end != nullptr && *end == '\0';
}

bool parse_int(const std::string& s, int* v) {
    std::string t;
    for (char ch : s)
        if (ch != ' ') t += ch;
    if (t.empty()) return false;
    char* end = nullptr;
    const long x = std::strtol(t.c_str(), &end, 10);
    *v = static_cast<int>(x);
    return *end == '\0';
}

// Reads `cards` lines and splits each into fields of the given width; a
// short last line simply holds fewer fields.
bool read_fields(std::istream& in, int cards, const Field& f, std::vector<std::string>* out) {
    std::string line;
    for (int c = 0; c < cards; ++c) {
        if (!std::getline(in, line)) return false;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        for (int k = 0; k < f.count; ++k) {
            const std::size_t start = static_cast<std::size_t>(k) * f.width;
            if (start >= line.size()) break;
            const std::string field = line.substr(start, f.width);
            if (field.find_first_not_of(' ') == std::string::npos) break;
            out->push_back(field);
        }
    }
    return true;
}

bool fail(std::string* error, const std::string& what) {
    if (error) *error = what;
    return false;
}

}  // namespace

bool read_hb(const std::string& path, HbMatrix* out, std::string* error) {
    std::ifstream in(path);
    if (!in) return fail(error, "cannot open " + path);
    std::string l1, l2, l3, l4;
    if (!std::getline(in, l1) || !std::getline(in, l2) || !std::getline(in, l3) ||
        !std::getline(in, l4))
        return fail(error, "short header");
    HbMatrix m;
    m.title = l1.substr(0, 72);
    m.key = l1.size() > 72 ? l1.substr(72, 8) : "";

    int totcrd = 0, ptrcrd = 0, indcrd = 0, valcrd = 0, rhscrd = 0;
    {
        std::istringstream s(l2);
        s >> totcrd >> ptrcrd >> indcrd >> valcrd;
        if (!s) return fail(error, "bad card counts");
        if (!(s >> rhscrd)) rhscrd = 0;
    }
    {
        std::istringstream s(l3);
        int neltvl = 0;
        s >> m.type >> m.nrow >> m.ncol >> m.nnz >> neltvl;
        if (!s || m.type.size() != 3) return fail(error, "bad type line");
    }
    for (char& ch : m.type) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    if (m.type[0] != 'R' || m.type[2] != 'A') return fail(error, "only assembled real matrices");

    const std::vector<std::string> groups = format_groups(l4);
    Field fp, fi, fv;
    if (groups.size() < 3 || !parse_format(groups[0], &fp) || !parse_format(groups[1], &fi) ||
        !parse_format(groups[2], &fv))
        return fail(error, "bad format line");
    if (rhscrd > 0) {
        std::string l5;
        if (!std::getline(in, l5)) return fail(error, "missing right-hand-side line");
    }

    std::vector<std::string> fields;
    if (!read_fields(in, ptrcrd, fp, &fields)) return fail(error, "short pointer section");
    if (static_cast<int>(fields.size()) != m.ncol + 1) return fail(error, "wrong pointer count");
    m.colptr.resize(fields.size());
    for (std::size_t k = 0; k < fields.size(); ++k)
        if (!parse_int(fields[k], &m.colptr[k])) return fail(error, "bad pointer " + fields[k]);

    fields.clear();
    if (!read_fields(in, indcrd, fi, &fields)) return fail(error, "short index section");
    if (static_cast<int>(fields.size()) != m.nnz) return fail(error, "wrong index count");
    m.rowind.resize(fields.size());
    for (std::size_t k = 0; k < fields.size(); ++k)
        if (!parse_int(fields[k], &m.rowind[k])) return fail(error, "bad index " + fields[k]);

    fields.clear();
    if (m.type[1] != 'P') {  // pattern-only files carry no values
        if (!read_fields(in, valcrd, fv, &fields)) return fail(error, "short value section");
        if (static_cast<int>(fields.size()) != m.nnz) return fail(error, "wrong value count");
        m.values.resize(fields.size());
        for (std::size_t k = 0; k < fields.size(); ++k)
            if (!parse_real(fields[k], &m.values[k])) return fail(error, "bad value " + fields[k]);
    } else {
        m.values.assign(static_cast<std::size_t>(m.nnz), 1.0);
    }

    if (m.colptr.front() != 1 || m.colptr.back() != m.nnz + 1)
        return fail(error, "pointers do not span the entries");
    for (int j = 0; j < m.ncol; ++j)
        if (m.colptr[j + 1] < m.colptr[j]) return fail(error, "pointers decrease");
    for (int r : m.rowind)
        if (r < 1 || r > m.nrow) return fail(error, "row index out of range");
    *out = std::move(m);
    return true;
}

std::vector<qiv::zcomplex> hb_dense(const HbMatrix& m, int ld) {
    std::vector<qiv::zcomplex> a(static_cast<std::size_t>(ld) * static_cast<std::size_t>(m.ncol),
                                 qiv::zcomplex{0.0, 0.0});
    for (int j = 1; j <= m.ncol; ++j)
        for (int p = m.colptr[j - 1]; p < m.colptr[j]; ++p)
            a[qiv::at(m.rowind[p - 1], j, ld)].re += m.values[p - 1];
    return a;
}

std::string test_data_file(const char* name) {
    const std::string here = __FILE__;
    return here.substr(0, here.rfind("/support/")) + "/data/" + name;
}

}  // namespace qivtest
