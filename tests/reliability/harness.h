// The reliability harnesses share one description of a call: its array
// arguments (what each may touch) and a function that runs it with the arrays
// wherever a harness placed them. A harness chooses the placement (ordinary
// heap storage, arrays between inaccessible pages, sparse mappings with huge
// leading dimensions), runs the call and compares what it left behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/matrix.h"

namespace reltest {

using qivtest::Rng;

// How large the tests are: QIV_TEST_SCALE=small (set by scripts/test-sanitize)
// shrinks sizes and counts so that the instrumented runs stay within minutes;
// anything else, or nothing, gives the full sizes.
bool small_scale();

enum class Elem { complex, real, integer };
std::size_t elem_bytes(Elem e);

// One array argument. The routine may touch rows x cols elements; element
// (i, j) lies (i - 1) + (j - 1)*ld elements after the first. With has_ld the
// harness chooses ld >= max(1, rows): a matrix with a leading-dimension
// argument, or a vector with an increment, described as 1 x len with ld the
// increment's magnitude. Without it the array is contiguous (cols is 1).
// Input arrays are filled with random values; output arrays with values that
// the routine overwrites or ignores (the same values in every run).
struct ArrayArg {
    std::string name;
    Elem elem;
    int rows, cols;
    bool has_ld;
    bool input;
};

// Elements spanned from the first described element to the last one.
std::size_t span_elems(const ArrayArg& a, std::int64_t ld);

// A call ready to run: the arrays it takes and a function that runs it with
// array k at p[k] with leading dimension (or increment magnitude) ld[k].
// run returns INFO (0 for routines without one). prepare, when set, adjusts
// the freshly filled inputs (for example a dominant diagonal for a triangular
// solve) before the run; verify, when set, inspects the results and returns
// an empty string or what is wrong with them.
struct Call {
    std::string label;
    std::vector<ArrayArg> arrays;
    std::function<int(void* const* p, const int* ld)> run;
    std::function<void(void* const* p, const int* ld)> prepare;
    std::function<std::string(void* const* p, const int* ld)> verify;
};

// Where a harness puts the arrays of one call. Memory stays valid until the
// placement is destroyed. Every accessible byte that is not a described
// element (the rows between ld and the described rows, the rest of a page
// around an array, the margins of a heap block) holds a sentinel pattern
// from the moment the array is placed; intact() says whether it still does.
class Placement {
   public:
    virtual ~Placement() = default;
    struct Placed {
        void* p;
        int ld;
    };
    Placed place(const ArrayArg& a);
    bool intact() const;

   protected:
    using Range = std::pair<unsigned char*, std::size_t>;
    // Reserves memory for a and returns its first element and leading
    // dimension (or increment); adds the byte ranges the routine may
    // legitimately be given access to (described elements and sentinels).
    virtual Placed allocate(const ArrayArg& a, std::vector<Range>& accessible) = 0;

   private:
    struct Record {
        ArrayArg a;
        unsigned char* p;
        int ld;
        std::vector<Range> ranges;
    };
    std::vector<Record> records_;
};

// Ordinary heap storage with ld = max(1, rows) + pad for arrays with has_ld,
// and a margin of sentinels before and after each array.
class HeapPlacement : public Placement {
   public:
    explicit HeapPlacement(int pad = 0) : pad_(pad) {}

   protected:
    Placed allocate(const ArrayArg& a, std::vector<Range>& accessible) override;

   private:
    int pad_;
    std::vector<std::unique_ptr<std::uint64_t[]>> blocks_;
};

// Arrays between inaccessible pages. Whole-array modes: the first described
// element follows an inaccessible page (start), or the last one ends just
// before one (end; end_misaligned also shifts the array by 8 bytes so that
// complex elements sit at odd multiples of 8). Column modes give every column
// of a matrix its own pages: with a leading dimension of whole pages, each
// column starts right after an inaccessible page (start_columns) or ends
// right before one (end_columns), so a column read past either end faults.
// An array with no described element gets an address inside an
// inaccessible page.
enum class Guard { start, end, end_misaligned, start_columns, end_columns };
const char* guard_name(Guard g);

class GuardPlacement : public Placement {
   public:
    explicit GuardPlacement(Guard g, int pad = 1) : mode_(g), pad_(pad) {}
    ~GuardPlacement() override;

   protected:
    Placed allocate(const ArrayArg& a, std::vector<Range>& accessible) override;

   private:
    Guard mode_;
    int pad_;
    std::vector<Range> maps_;
};

// Sparse mappings for huge leading dimensions: every matrix with at least two
// columns (and every strided vector) gets a leading dimension (increment)
// such that its last column starts more than `offset` elements after its
// first element. Only the pages holding described elements are accessible;
// the rest of the span is reserved without memory behind it. ok() is false
// when the system refused a mapping.
class SparsePlacement : public Placement {
   public:
    explicit SparsePlacement(std::int64_t offset) : offset_(offset) {}
    ~SparsePlacement() override;
    bool ok() const { return ok_; }
    // The largest element and byte offsets of a described element placed.
    std::int64_t max_element_offset() const { return max_elem_; }
    std::int64_t max_byte_offset() const { return max_byte_; }

   protected:
    Placed allocate(const ArrayArg& a, std::vector<Range>& accessible) override;

   private:
    std::int64_t offset_;
    bool ok_ = true;
    std::int64_t max_elem_ = 0, max_byte_ = 0;
    std::vector<Range> maps_;
};

// What a call left behind: INFO, the described elements of every array
// packed column by column, and whether every sentinel around them is intact.
struct Outcome {
    int info = 0;
    std::vector<std::vector<unsigned char>> arrays;
    bool padding_intact = true;
    std::vector<int> lds;
    std::string verdict;  // what Call::verify found wrong, if anything
};

// Places the arrays of c, fills them from seed (the same values for the same
// seed whatever the placement), runs the call and packs the result. A
// placement that fails (SparsePlacement::ok() false) leaves info at -99999
// and nothing run.
Outcome execute(const Call& c, Placement& where, std::uint64_t seed);

// Empty when the two outcomes agree bit for bit, else a description of the
// first difference.
std::string compare(const Call& c, const Outcome& want, const Outcome& got);

// While one is alive, a fault (SIGSEGV, SIGBUS) first writes the label last
// given to during() to standard error, then ends the program as the signal
// would: a read outside the arrays names the call that made it.
class FaultNamer {
   public:
    FaultNamer();
    ~FaultNamer();
    FaultNamer(const FaultNamer&) = delete;
    FaultNamer& operator=(const FaultNamer&) = delete;
    // label must stay valid until the next call (or the namer's end).
    static void during(const char* label);
};

// The module as a host loads it (dlopen of the built library), kept loaded
// for the whole test program; symbol() returns nullptr for a missing name.
void* module_symbol(const char* name);

}  // namespace reltest
