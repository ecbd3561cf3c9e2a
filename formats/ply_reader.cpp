#include "formats/ply_reader.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "formats/files_read.h"

namespace glintor {

namespace {

struct TypeInfo {
    const char* oldName;
    const char* newName;
    int size;
    double lowest;
    double highest;
    bool isInteger;
};

// Indexed by PlyType.
constexpr TypeInfo kTypes[] = {
    {"char", "int8", 1, -128.0, 127.0, true},
    {"uchar", "uint8", 1, 0.0, 255.0, true},
    {"short", "int16", 2, -32768.0, 32767.0, true},
    {"ushort", "uint16", 2, 0.0, 65535.0, true},
    {"int", "int32", 4, -2147483648.0, 2147483647.0, true},
    {"uint", "uint32", 4, 0.0, 4294967295.0, true},
    {"float", "float32", 4, 0.0, 0.0, false},
    {"double", "float64", 8, 0.0, 0.0, false},
};

const TypeInfo& Info(PlyType type) {
    return kTypes[static_cast<int>(type)];
}

constexpr const char* kEncodingNames[] = {"ascii", "binary_little_endian", "binary_big_endian"};

// Header words and values can be anything a damaged file holds; messages quote a bounded piece.
std::string Quote(std::string_view text) {
    constexpr std::size_t kLongest = 40;
    std::string quoted = "'";
    quoted.append(text.substr(0, kLongest));
    if (text.size() > kLongest) {
        quoted.append("...");
    }
    quoted.append("'");
    return quoted;
}

std::vector<std::string_view> SplitWords(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) {
            ++i;
        }
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') {
            ++i;
        }
        if (i > start) {
            words.push_back(line.substr(start, i - start));
        }
    }
    return words;
}

// The text after the keyword and its separator, kept as written.
std::string RestOfLine(std::string_view line, std::string_view keyword) {
    std::size_t start = line.find(keyword) + keyword.size();
    if (start < line.size() && (line[start] == ' ' || line[start] == '\t')) {
        ++start;
    }
    return std::string(line.substr(std::min(start, line.size())));
}

bool ParseCount(std::string_view word, int64_t& count) {
    const char* end = word.data() + word.size();
    const auto [next, error] = std::from_chars(word.data(), end, count);
    return error == std::errc() && next == end;
}

template <typename Bits>
Bits Load(const unsigned char* p, bool swap) {
    Bits bits;
    std::memcpy(&bits, p, sizeof(bits));
    if (swap) {
        if constexpr (sizeof(Bits) == 2) {
            bits = __builtin_bswap16(bits);
        } else if constexpr (sizeof(Bits) == 4) {
            bits = __builtin_bswap32(bits);
        } else {
            bits = __builtin_bswap64(bits);
        }
    }
    return bits;
}

template <PlyType kType>
double Decode(const unsigned char* p, bool swap) {
    if constexpr (kType == PlyType::Int8) {
        return static_cast<int8_t>(p[0]);
    } else if constexpr (kType == PlyType::UInt8) {
        return p[0];
    } else if constexpr (kType == PlyType::Int16) {
        return static_cast<int16_t>(Load<uint16_t>(p, swap));
    } else if constexpr (kType == PlyType::UInt16) {
        return Load<uint16_t>(p, swap);
    } else if constexpr (kType == PlyType::Int32) {
        return static_cast<int32_t>(Load<uint32_t>(p, swap));
    } else if constexpr (kType == PlyType::UInt32) {
        return Load<uint32_t>(p, swap);
    } else if constexpr (kType == PlyType::Float32) {
        return std::bit_cast<float>(Load<uint32_t>(p, swap));
    } else {
        return std::bit_cast<double>(Load<uint64_t>(p, swap));
    }
}

// Calls action.template operator()<type>() with the type as a constant, so the loops it runs
// decode without a switch per value.
template <class Action>
void WithType(PlyType type, Action&& action) {
    switch (type) {
        case PlyType::Int8:
            return action.template operator()<PlyType::Int8>();
        case PlyType::UInt8:
            return action.template operator()<PlyType::UInt8>();
        case PlyType::Int16:
            return action.template operator()<PlyType::Int16>();
        case PlyType::UInt16:
            return action.template operator()<PlyType::UInt16>();
        case PlyType::Int32:
            return action.template operator()<PlyType::Int32>();
        case PlyType::UInt32:
            return action.template operator()<PlyType::UInt32>();
        case PlyType::Float32:
            return action.template operator()<PlyType::Float32>();
        case PlyType::Float64:
            return action.template operator()<PlyType::Float64>();
    }
}

double DecodeBinary(const unsigned char* p, PlyType type, bool swap) {
    double value = 0.0;
    WithType(type, [&]<PlyType kType>() { value = Decode<kType>(p, swap); });
    return value;
}

// Entries of a list of integers; every integer type fits int64 exactly.
void DecodeIntegers(const unsigned char* p, PlyType type, bool swap, int32_t length,
                    int64_t* entries) {
    WithType(type, [&]<PlyType kType>() {
        constexpr std::size_t kSize = kTypes[static_cast<int>(kType)].size;
        for (int32_t j = 0; j < length; ++j) {
            entries[j] = static_cast<int64_t>(Decode<kType>(p + j * kSize, swap));
        }
    });
}

// One float target filled from a whole element of fixed-size instances.
void StoreColumn(const unsigned char* first, std::size_t instanceSize, int32_t count,
                 const PlyProperty& property, bool swap) {
    WithType(property.type, [&]<PlyType kType>() {
        float* target = property.target;
        const unsigned char* p = first;
        for (int32_t i = 0; i < count; ++i, p += instanceSize, target += property.targetStride) {
            *target = static_cast<float>(Decode<kType>(p, swap) * property.targetScale);
        }
    });
}

// The NUL that ends the buffer counts as a separator, so a token scan needs no bounds test.
inline bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
inline bool EndsToken(char c) {
    return IsSpace(c) || c == '\0';
}

inline bool IsDigit(char c) {
    return static_cast<unsigned char>(c - '0') < 10;
}

bool MultiplyFits(uint64_t a, uint64_t b, uint64_t& product) {
    return !__builtin_mul_overflow(a, b, &product);
}

// Integers as most writers print them: an optional minus and up to 18 digits. Anything else is
// left to the careful parser, which also words the complaint.
bool QuickInteger(const char*& text, int64_t& value) {
    const char* p = text;
    const bool negative = *p == '-';
    p += negative;
    const char* const digits = p;
    int64_t magnitude = 0;
    while (IsDigit(*p) && p - digits < 18) {
        magnitude = magnitude * 10 + (*p - '0');
        ++p;
    }
    if (p == digits || !EndsToken(*p)) {
        return false;
    }
    value = negative ? -magnitude : magnitude;
    text = p;
    return true;
}

// Decimals as most writers print them, to exactly the double from_chars gives: a mantissa of at
// most 2^53 and a power of ten up to 10^22 are both exact doubles, so the one multiplication or
// division rounds correctly. Anything else (more digits, larger exponents, inf, nan, a plus sign)
// is left to the careful parser.
bool QuickDecimal(const char*& text, double& value) {
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    constexpr int kMostDigits = 18;
    const char* p = text;
    const bool negative = *p == '-';
    p += negative;
    uint64_t mantissa = 0;
    int digits = 0;
    int exponent = 0;
    for (; IsDigit(*p) && digits < kMostDigits; ++p, ++digits) {
        mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
    }
    if (*p == '.') {
        ++p;
        for (; IsDigit(*p) && digits < kMostDigits; ++p, ++digits, --exponent) {
            mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
        }
    }
    if (digits == 0 || IsDigit(*p)) {
        return false;
    }
    if (*p == 'e' || *p == 'E') {
        ++p;
        const bool negativeExponent = *p == '-';
        p += negativeExponent || *p == '+';
        int written = 0;
        const char* const start = p;
        for (; IsDigit(*p) && p - start < 4; ++p) {
            written = written * 10 + (*p - '0');
        }
        if (p == start) {
            return false;
        }
        exponent += negativeExponent ? -written : written;
    }
    if (!EndsToken(*p) || mantissa > (uint64_t(1) << 53) || exponent < -22 || exponent > 22) {
        return false;
    }
    const double magnitude = exponent < 0 ? static_cast<double>(mantissa) / kPowers[-exponent]
                                          : static_cast<double>(mantissa) * kPowers[exponent];
    value = negative ? -magnitude : magnitude;
    text = p;
    return true;
}

// The first element of the name and, in it, the first property of the name: what every lookup
// reaches when a file repeats names.
template <class Elements>
auto FindIn(Elements& elements, std::string_view element, std::string_view property, int32_t& count)
    -> decltype(&elements.front().properties.front()) {
    for (auto& e : elements) {
        if (e.name != element) {
            continue;
        }
        for (auto& p : e.properties) {
            if (p.name == property) {
                count = e.count;
                return &p;
            }
        }
        return nullptr;
    }
    return nullptr;
}

}  // namespace

bool ParsePlyType(std::string_view name, PlyType& type) {
    for (int i = 0; i < static_cast<int>(std::size(kTypes)); ++i) {
        if (name == kTypes[i].oldName || name == kTypes[i].newName) {
            type = static_cast<PlyType>(i);
            return true;
        }
    }
    return false;
}

const char* PlyTypeName(PlyType type) {
    return Info(type).newName;
}

int PlyTypeSize(PlyType type) {
    return Info(type).size;
}

const char* PlyEncodingName(PlyEncoding encoding) {
    return kEncodingNames[static_cast<int>(encoding)];
}

PlyReader::PlyReader(PlyErrorCallback onError, void* errorUserData)
    : onError_(onError), errorUserData_(errorUserData) {}

bool PlyReader::Fail(const std::string& problem) {
    lastError_ = fileName_ + ": " + problem;
    if (onError_ != nullptr) {
        onError_(lastError_, errorUserData_);
    } else {
        std::fprintf(stderr, "PLY: %s\n", lastError_.c_str());
    }
    return false;
}

bool PlyReader::Stopped() {
    lastError_ = fileName_ + ": reading stopped by the caller";
    return false;
}

void PlyReader::Unmap::operator()(char* bytes) const {
    munmap(bytes, length);
}

// Fresh anonymous memory in huge pages where the system has them: filling a large file's copy
// page by page costs more in page faults than the copy itself. Faulting the pages in with one call
// before the copy is cheaper still; kernels older than 5.14 refuse the advice and fault on first
// touch as before.
bool PlyReader::Allocate(std::size_t size) {
    const std::size_t length = size + 1;
    void* bytes = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (bytes == MAP_FAILED) {
        data_.reset();
        return false;
    }
    constexpr std::size_t kHugePage = std::size_t(2) << 20;
    if (length >= kHugePage) {
        madvise(bytes, length, MADV_HUGEPAGE);
        madvise(bytes, length, MADV_POPULATE_WRITE);
    }
    data_ = std::unique_ptr<char, Unmap>(static_cast<char*>(bytes), Unmap{length});
    return true;
}

bool PlyReader::Open(const std::string& fileName) {
    Close();
    fileName_ = fileName;
    NoteFileRead(fileName);
    const int file = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0) {
        return Fail(std::string("cannot open the file: ") + std::strerror(errno));
    }
    struct stat status {};
    if (fstat(file, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(file);
        return Fail("not a regular file");
    }
    // One read of the whole file: the parsers then run over memory with no further system calls.
    const std::size_t expected = static_cast<std::size_t>(status.st_size);
    if (!Allocate(expected)) {
        ::close(file);
        return Fail("the file (" + std::to_string(expected) + " bytes) does not fit in memory");
    }
    std::size_t got = 0;
    while (got < expected) {
        const ssize_t n = ::read(file, data_.get() + got, expected - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            const int error = errno;
            ::close(file);
            data_.reset();
            return Fail(std::string("cannot read the file: ") + std::strerror(error));
        }
        if (n == 0) {
            break;  // the file shrank while we read it: parse what is there
        }
        got += static_cast<std::size_t>(n);
    }
    ::close(file);
    size_ = got;
    data_.get()[size_] = '\0';
    return CheckMagic();
}

bool PlyReader::OpenMemory(const std::string& name, const void* bytes, std::size_t size) {
    Close();
    fileName_ = name;
    if (!Allocate(size)) {
        return Fail("the data (" + std::to_string(size) + " bytes) do not fit in memory");
    }
    if (size > 0) {
        std::memcpy(data_.get(), bytes, size);
    }
    size_ = size;
    data_.get()[size_] = '\0';
    return CheckMagic();
}

bool PlyReader::CheckMagic() {
    const std::string_view text(data_.get(), size_);
    if (text.starts_with("ply\n")) {
        position_ = 4;
    } else if (text.starts_with("ply\r\n")) {
        position_ = 5;
    } else {
        data_.reset();
        size_ = 0;
        return Fail("not a PLY file (the first line is not 'ply')");
    }
    stage_ = Stage::Opened;
    return true;
}

void PlyReader::Close() {
    data_.reset();
    size_ = 0;
    position_ = 0;
    stage_ = Stage::Closed;
    hasFormat_ = false;
    encoding_ = PlyEncoding::Ascii;
    elements_.clear();
    comments_.clear();
    objInfo_.clear();
}

bool PlyReader::ReadHeader() {
    if (stage_ != Stage::Opened) {
        return Fail("the header can only be read once, after opening");
    }
    int lineNumber = 1;
    bool ended = false;
    while (!ended) {
        const std::string_view rest(data_.get() + position_, size_ - position_);
        const std::size_t newline = rest.find('\n');
        if (newline == std::string_view::npos) {
            return Fail("the header has no end_header line");
        }
        std::string_view line = rest.substr(0, newline);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        position_ += newline + 1;
        ++lineNumber;
        if (!ParseHeaderLine(line, lineNumber, ended)) {
            return false;
        }
    }
    if (!hasFormat_) {
        return Fail("the header has no format line");
    }
    stage_ = Stage::HeaderRead;
    return true;
}

bool PlyReader::ParseHeaderLine(std::string_view line, int lineNumber, bool& ended) {
    const std::vector<std::string_view> words = SplitWords(line);
    const std::string where = "header line " + std::to_string(lineNumber) + ": ";
    if (words.empty()) {
        return true;
    }
    const std::string_view keyword = words[0];
    if (keyword == "comment") {
        comments_.push_back(RestOfLine(line, keyword));
    } else if (keyword == "obj_info") {
        objInfo_.push_back(RestOfLine(line, keyword));
    } else if (keyword == "format") {
        if (hasFormat_) {
            return Fail(where + "a second format line");
        }
        if (words.size() != 3) {
            return Fail(where + "expected 'format <encoding> 1.0'");
        }
        bool known = false;
        for (int i = 0; i < 3; ++i) {
            if (words[1] == kEncodingNames[i]) {
                encoding_ = static_cast<PlyEncoding>(i);
                known = true;
            }
        }
        if (!known) {
            return Fail(where + "unknown encoding " + Quote(words[1]));
        }
        if (words[2] != "1.0") {
            return Fail(where + "unsupported version " + Quote(words[2]));
        }
        hasFormat_ = true;
    } else if (keyword == "element") {
        int64_t count = 0;
        if (words.size() != 3) {
            return Fail(where + "expected 'element <name> <count>'");
        }
        if (!ParseCount(words[2], count) || count < 0 ||
            count > std::numeric_limits<int32_t>::max()) {
            return Fail(where + "element " + Quote(words[1]) + " has an invalid count " +
                        Quote(words[2]) + " (0 to 2147483647 allowed)");
        }
        elements_.push_back({std::string(words[1]), static_cast<int32_t>(count), {}});
    } else if (keyword == "property") {
        if (elements_.empty()) {
            return Fail(where + "a property before any element");
        }
        PlyProperty property;
        const bool isList = words.size() >= 2 && words[1] == "list";
        if (isList) {
            if (words.size() != 5) {
                return Fail(where + "expected 'property list <count type> <type> <name>'");
            }
            if (!ParsePlyType(words[2], property.countType) ||
                !Info(property.countType).isInteger) {
                return Fail(where + "invalid list count type " + Quote(words[2]));
            }
        } else if (words.size() != 3) {
            return Fail(where + "expected 'property <type> <name>'");
        }
        const std::string_view typeName = words[words.size() - 2];
        if (!ParsePlyType(typeName, property.type)) {
            return Fail(where + "unknown type " + Quote(typeName));
        }
        property.isList = isList;
        property.name = std::string(words.back());
        elements_.back().properties.push_back(std::move(property));
    } else if (keyword == "end_header") {
        ended = true;
    } else {
        return Fail(where + "unknown keyword " + Quote(keyword));
    }
    return true;
}

// A header can promise billions of instances; comparing the smallest body it implies with the
// bytes that follow rejects such a file before anyone sizes arrays by its counts.
bool PlyReader::CheckBody() {
    const uint64_t available = size_ - position_;
    uint64_t needed = 0;
    for (const PlyElement& element : elements_) {
        uint64_t perInstance = 0;
        for (const PlyProperty& property : element.properties) {
            if (encoding_ == PlyEncoding::Ascii) {
                perInstance += 2;  // at least one character and one separator per value
            } else {
                perInstance += Info(property.isList ? property.countType : property.type).size;
            }
        }
        uint64_t elementBytes = 0;
        if (!MultiplyFits(perInstance, static_cast<uint64_t>(element.count), elementBytes) ||
            __builtin_add_overflow(needed, elementBytes, &needed) ||
            (encoding_ == PlyEncoding::Ascii && needed > 0 ? needed - 1 : needed) > available) {
            return Fail("the header promises " + std::to_string(element.count) +
                        " instances of element " + Quote(element.name) +
                        ", more than the file holds (" + std::to_string(available) +
                        " bytes after the header)");
        }
    }
    return true;
}

const PlyProperty* PlyReader::FindProperty(std::string_view element,
                                           std::string_view property) const {
    int32_t count = 0;
    return FindIn(elements_, element, property, count);
}

int32_t PlyReader::InstanceCount(std::string_view element, std::string_view property) const {
    int32_t count = 0;
    return stage_ == Stage::HeaderRead && FindIn(elements_, element, property, count) != nullptr
               ? count
               : 0;
}

// The property whose sink is about to be set, with its old sink cleared; null when there is
// nothing to register.
PlyProperty* PlyReader::Sink(std::string_view element, std::string_view property, int32_t& count) {
    count = 0;
    PlyProperty* found =
        stage_ == Stage::HeaderRead ? FindIn(elements_, element, property, count) : nullptr;
    if (found != nullptr) {
        found->callback = nullptr;
        found->target = nullptr;
        found->listCallback = nullptr;
        found->listBatchCallback = nullptr;
    }
    return found;
}

int32_t PlyReader::SetReadCallback(std::string_view element, std::string_view property,
                                   PlyReadCallback callback, void* userData, int32_t userIndex) {
    int32_t count = 0;
    if (PlyProperty* p = Sink(element, property, count)) {
        p->callback = callback;
        p->userData = userData;
        p->userIndex = userIndex;
    }
    return count;
}

int32_t PlyReader::SetFloatTarget(std::string_view element, std::string_view property, float* first,
                                  std::size_t stride, double scale) {
    const PlyProperty* found = FindProperty(element, property);
    if (found == nullptr || found->isList) {
        return 0;
    }
    int32_t count = 0;
    PlyProperty* p = Sink(element, property, count);
    p->target = first;
    p->targetStride = stride;
    p->targetScale = scale;
    return count;
}

// Lists of integers only, so that int64 holds every entry.
PlyProperty* PlyReader::IntegerListSink(std::string_view element, std::string_view property,
                                        int32_t& count) {
    const PlyProperty* found = FindProperty(element, property);
    count = 0;
    if (found == nullptr || !found->isList || !Info(found->type).isInteger) {
        return nullptr;
    }
    return Sink(element, property, count);
}

int32_t PlyReader::SetListTarget(std::string_view element, std::string_view property,
                                 PlyListCallback callback, void* userData) {
    int32_t count = 0;
    if (PlyProperty* p = IntegerListSink(element, property, count)) {
        p->listCallback = callback;
        p->userData = userData;
    }
    return count;
}

int32_t PlyReader::SetListBatchTarget(std::string_view element, std::string_view property,
                                      PlyListBatchCallback callback, void* userData) {
    int32_t count = 0;
    if (PlyProperty* p = IntegerListSink(element, property, count)) {
        p->listBatchCallback = callback;
        p->userData = userData;
    }
    return count;
}

bool PlyReader::Read() {
    if (stage_ != Stage::HeaderRead) {
        return Fail("the body can only be read once, after the header");
    }
    stage_ = Stage::Finished;
    if (!CheckBody()) {
        return false;
    }
    for (PlyElement& element : elements_) {
        if (element.properties.empty()) {
            continue;  // instances without properties occupy no bytes in any encoding
        }
        bool ok = false;
        if (encoding_ == PlyEncoding::Ascii) {
            ok = ReadAscii(element);
        } else {
            bool hasList = false;
            for (const PlyProperty& property : element.properties) {
                hasList = hasList || property.isList;
            }
            const bool onlyListTarget =
                element.properties.size() == 1 && element.properties[0].TakesWholeLists();
            ok = onlyListTarget ? ReadBinaryListTarget(element)
                 : hasList      ? ReadBinaryVarying(element)
                                : ReadBinaryFixed(element);
        }
        if (!ok) {
            return false;
        }
    }
    return true;
}

bool PlyReader::Deliver(const PlyProperty& property, int32_t instance, double value) {
    if (property.callback != nullptr) {
        if (!property.callback({instance, 0, value, property.userData, property.userIndex})) {
            return Stopped();
        }
    } else if (property.target != nullptr) {
        property.target[instance * property.targetStride] =
            static_cast<float>(value * property.targetScale);
    }
    return true;
}

// The list's entries are in listEntries_.
bool PlyReader::DeliverList(const PlyProperty& property, int32_t instance, int32_t length) {
    if (property.listBatchCallback != nullptr) {
        listLengths_.assign(1, length);
        return DeliverBatch(property, instance, 1);
    }
    if (!property.listCallback(instance, listEntries_.data(), length, property.userData)) {
        return Stopped();
    }
    return true;
}

// The lists' lengths are in listLengths_, their entries in listEntries_.
bool PlyReader::DeliverBatch(const PlyProperty& property, int32_t first, int32_t lists) {
    if (!property.listBatchCallback(first, lists, listLengths_.data(), listEntries_.data(),
                                    property.userData)) {
        return Stopped();
    }
    return true;
}

bool PlyReader::InvalidListLength(const PlyElement& element, const PlyProperty& property,
                                  int32_t instance, double length) {
    return Fail("invalid list length " + std::to_string(static_cast<int64_t>(length)) +
                " in property " + Quote(property.name) + " of instance " +
                std::to_string(instance) + " of element " + Quote(element.name));
}

bool PlyReader::TruncatedIn(const PlyElement& element, int32_t instance) {
    return Fail("the file ends inside instance " + std::to_string(instance) + " of element " +
                Quote(element.name) + " (" + std::to_string(element.count) + " instances)");
}

// Elements without lists have one instance size, so the whole element is checked against the file
// once and only the properties with a sink are decoded, at fixed offsets: a float target column
// by column, read callbacks instance by instance.
bool PlyReader::ReadBinaryFixed(PlyElement& element) {
    struct Slot {
        std::size_t offset;
        const PlyProperty* property;
    };
    std::vector<Slot> callbacks;
    std::vector<Slot> targets;
    std::size_t instanceSize = 0;
    for (const PlyProperty& property : element.properties) {
        if (property.callback != nullptr) {
            callbacks.push_back({instanceSize, &property});
        } else if (property.target != nullptr) {
            targets.push_back({instanceSize, &property});
        }
        instanceSize += Info(property.type).size;
    }
    const uint64_t available = size_ - position_;
    uint64_t bytes = 0;
    if (!MultiplyFits(instanceSize, static_cast<uint64_t>(element.count), bytes) ||
        bytes > available) {
        return TruncatedIn(element, static_cast<int32_t>(available / instanceSize));
    }
    const bool swap =
        (encoding_ == PlyEncoding::BinaryBigEndian) == (std::endian::native == std::endian::little);
    const unsigned char* base = reinterpret_cast<const unsigned char*>(data_.get()) + position_;
    for (const Slot& slot : targets) {
        StoreColumn(base + slot.offset, instanceSize, element.count, *slot.property, swap);
    }
    if (!callbacks.empty()) {
        for (int32_t i = 0; i < element.count; ++i, base += instanceSize) {
            for (const Slot& slot : callbacks) {
                if (!Deliver(*slot.property, i,
                             DecodeBinary(base + slot.offset, slot.property->type, swap))) {
                    return false;
                }
            }
        }
    }
    position_ += bytes;
    return true;
}

bool PlyReader::ReadBinaryVarying(PlyElement& element) {
    const bool swap =
        (encoding_ == PlyEncoding::BinaryBigEndian) == (std::endian::native == std::endian::little);
    const unsigned char* const begin = reinterpret_cast<const unsigned char*>(data_.get());
    const unsigned char* const end = begin + size_;
    const unsigned char* p = begin + position_;
    for (int32_t i = 0; i < element.count; ++i) {
        for (const PlyProperty& property : element.properties) {
            const std::size_t itemSize = Info(property.type).size;
            if (!property.isList) {
                if (static_cast<std::size_t>(end - p) < itemSize) {
                    return TruncatedIn(element, i);
                }
                if (!Deliver(property, i, DecodeBinary(p, property.type, swap))) {
                    return false;
                }
                p += itemSize;
                continue;
            }
            const std::size_t countSize = Info(property.countType).size;
            if (static_cast<std::size_t>(end - p) < countSize) {
                return TruncatedIn(element, i);
            }
            const double length = DecodeBinary(p, property.countType, swap);
            p += countSize;
            if (length < 0.0 || length > std::numeric_limits<int32_t>::max()) {
                return InvalidListLength(element, property, i, length);
            }
            const int32_t entries = static_cast<int32_t>(length);
            if (static_cast<uint64_t>(entries) * itemSize > static_cast<uint64_t>(end - p)) {
                return TruncatedIn(element, i);
            }
            if (property.TakesWholeLists()) {
                // Bounded by the file's size, checked just above.
                if (listEntries_.size() < static_cast<std::size_t>(entries)) {
                    listEntries_.resize(entries);
                }
                DecodeIntegers(p, property.type, swap, entries, listEntries_.data());
                if (!DeliverList(property, i, entries)) {
                    return false;
                }
            } else if (property.callback != nullptr) {
                if (!property.callback({i, -1, length, property.userData, property.userIndex})) {
                    return Stopped();
                }
                for (int32_t j = 0; j < entries; ++j) {
                    if (!property.callback({i, j,
                                            DecodeBinary(p + j * itemSize, property.type, swap),
                                            property.userData, property.userIndex})) {
                        return Stopped();
                    }
                }
            }
            p += entries * itemSize;
        }
    }
    position_ = static_cast<std::size_t>(p - begin);
    return true;
}

// The usual face element, one list of integers and nothing else, with the entries' type fixed for
// the whole loop. Checks and messages are ReadBinaryVarying's; a batch target first gets every
// list before a fault, as a list target would have.
bool PlyReader::ReadBinaryListTarget(PlyElement& element) {
    // A batch small enough for its entries to stay in the first-level cache.
    constexpr int32_t kBatchLists = 512;
    const PlyProperty& property = element.properties[0];
    const bool batched = property.listBatchCallback != nullptr;
    const bool swap =
        (encoding_ == PlyEncoding::BinaryBigEndian) == (std::endian::native == std::endian::little);
    const unsigned char* const begin = reinterpret_cast<const unsigned char*>(data_.get());
    const unsigned char* const end = begin + size_;
    const unsigned char* p = begin + position_;
    const std::size_t countSize = Info(property.countType).size;
    const bool byteCount = property.countType == PlyType::UInt8;
    const bool triangles = batched && byteCount;
    listLengths_.resize(batched ? kBatchLists : 0);
    int32_t first = 0;
    int32_t lists = 0;
    std::size_t used = 0;
    // Answers false when the caller stops reading.
    const auto flush = [&](int32_t next) {
        const bool delivered = lists == 0 || DeliverBatch(property, first, lists);
        first = next;
        lists = 0;
        used = 0;
        return delivered;
    };
    bool ok = true;
    WithType(property.type, [&]<PlyType kType>() {
        constexpr std::size_t kSize = kTypes[static_cast<int>(kType)].size;
        for (int32_t i = 0; i < element.count; ++i) {
            if (triangles) {
                // Lists of three, nearly every face of a mesh, skip the general checks below.
                if (listEntries_.size() < used + 3 * (kBatchLists - lists)) {
                    listEntries_.resize(used + 3 * (kBatchLists - lists));
                }
                int64_t* list = listEntries_.data() + used;
                int32_t n = lists;
                for (; i < element.count &&
                       n<kBatchLists&& static_cast<std::size_t>(end - p)> 3 * kSize && p[0] == 3;
                     ++i, ++n, list += 3, p += 1 + 3 * kSize) {
                    list[0] = static_cast<int64_t>(Decode<kType>(p + 1, swap));
                    list[1] = static_cast<int64_t>(Decode<kType>(p + 1 + kSize, swap));
                    list[2] = static_cast<int64_t>(Decode<kType>(p + 1 + 2 * kSize, swap));
                    listLengths_[n] = 3;
                }
                used += 3 * (n - lists);
                lists = n;
                if (lists == kBatchLists && !flush(i)) {
                    ok = false;
                    return;
                }
                if (i == element.count) {
                    break;
                }
            }
            if (static_cast<std::size_t>(end - p) < countSize) {
                ok = flush(i) && TruncatedIn(element, i);
                return;
            }
            // Counts are integers, so the next list's place waits on no conversion to double.
            const int64_t length =
                byteCount ? p[0] : static_cast<int64_t>(DecodeBinary(p, property.countType, swap));
            p += countSize;
            if (length < 0 || length > std::numeric_limits<int32_t>::max()) {
                ok = flush(i) &&
                     InvalidListLength(element, property, i, static_cast<double>(length));
                return;
            }
            const int32_t entries = static_cast<int32_t>(length);
            if (static_cast<uint64_t>(entries) * kSize > static_cast<uint64_t>(end - p)) {
                ok = flush(i) && TruncatedIn(element, i);
                return;
            }
            // Bounded by the file's size, checked just above.
            if (listEntries_.size() < used + entries) {
                listEntries_.resize(std::max(used + entries, 2 * listEntries_.size()));
            }
            int64_t* const list = listEntries_.data() + used;
            for (int32_t j = 0; j < entries; ++j, p += kSize) {
                list[j] = static_cast<int64_t>(Decode<kType>(p, swap));
            }
            if (!batched) {
                if (!DeliverList(property, i, entries)) {
                    ok = false;
                    return;
                }
                continue;
            }
            listLengths_[lists++] = entries;
            used += entries;
            if (lists == kBatchLists && !flush(i + 1)) {
                ok = false;
                return;
            }
        }
        ok = flush(element.count);
    });
    position_ = static_cast<std::size_t>(p - begin);
    return ok;
}

// Most values take the quick parsers; whatever they decline, the careful one reads or rejects,
// so every value and every message is the careful parser's.
bool PlyReader::AsciiNumber(const PlyElement& element, const PlyProperty& property, PlyType type,
                            int32_t instance, double& value) {
    const char* p = data_.get() + position_;
    while (IsSpace(*p)) {
        ++p;
    }
    const TypeInfo& info = Info(type);
    if (info.isInteger) {
        int64_t integer = 0;
        if (QuickInteger(p, integer) && integer >= info.lowest && integer <= info.highest) {
            value = static_cast<double>(integer);
            position_ = static_cast<std::size_t>(p - data_.get());
            return true;
        }
    } else if (QuickDecimal(p, value)) {
        if (type == PlyType::Float32) {
            value = static_cast<float>(value);
        }
        position_ = static_cast<std::size_t>(p - data_.get());
        return true;
    }
    return AsciiValue(element, property, type, instance, value);
}

// ASCII instances are read as a stream of whitespace-separated words; line breaks carry no
// meaning, as in every writer we know of.
bool PlyReader::AsciiValue(const PlyElement& element, const PlyProperty& property, PlyType type,
                           int32_t instance, double& value) {
    const char* p = data_.get() + position_;
    while (IsSpace(*p)) {
        ++p;
    }
    const char* const end = data_.get() + size_;
    if (p == end) {
        return TruncatedIn(element, instance);
    }
    const char* start = p;
    while (!EndsToken(*p)) {
        ++p;
    }
    const std::string_view word(start, static_cast<std::size_t>(p - start));
    position_ = static_cast<std::size_t>(p - data_.get());
    const auto invalid = [&](const char* why) {
        return Fail(std::string(why) + " " + Quote(word) + " for property " + Quote(property.name) +
                    " (" + PlyTypeName(type) + ") in instance " + std::to_string(instance) +
                    " of element " + Quote(element.name));
    };
    if (word.empty()) {
        return invalid("a NUL byte instead of a value");
    }
    if (*start == '+' && p - start > 1 && start[1] != '-') {
        ++start;  // from_chars takes no plus sign; some writers emit one
    }
    const TypeInfo& info = Info(type);
    if (info.isInteger) {
        int64_t integer = 0;
        const auto [next, error] = std::from_chars(start, p, integer);
        if (error != std::errc() || next != p) {
            return invalid("invalid value");
        }
        value = static_cast<double>(integer);
        if (value < info.lowest || value > info.highest) {
            return invalid("out-of-range value");
        }
        return true;
    }
    const auto [next, error] = std::from_chars(start, p, value);
    if (next != p || (error != std::errc() && error != std::errc::result_out_of_range)) {
        return invalid("invalid value");
    }
    if (error == std::errc::result_out_of_range) {
        // from_chars leaves the value unset on overflow or underflow; strtod gives the infinity or
        // the zero that binary files would carry. The token ends in whitespace or the final NUL.
        value = std::strtod(start, nullptr);
    }
    if (type == PlyType::Float32) {
        // A float32 property carries the same value whatever the encoding.
        value = static_cast<float>(value);
    }
    return true;
}

bool PlyReader::ReadAscii(PlyElement& element) {
    for (int32_t i = 0; i < element.count; ++i) {
        for (const PlyProperty& property : element.properties) {
            double value = 0.0;
            if (!property.isList) {
                if (!AsciiNumber(element, property, property.type, i, value) ||
                    !Deliver(property, i, value)) {
                    return false;
                }
                continue;
            }
            if (!AsciiNumber(element, property, property.countType, i, value)) {
                return false;
            }
            if (value < 0.0 || value > std::numeric_limits<int32_t>::max()) {
                return InvalidListLength(element, property, i, value);
            }
            const int32_t entries = static_cast<int32_t>(value);
            if (property.callback != nullptr &&
                !property.callback({i, -1, value, property.userData, property.userIndex})) {
                return Stopped();
            }
            // A list target's buffer grows only with entries actually read, whatever the length.
            listEntries_.clear();
            for (int32_t j = 0; j < entries; ++j) {
                if (!AsciiNumber(element, property, property.type, i, value)) {
                    return false;
                }
                if (property.TakesWholeLists()) {
                    listEntries_.push_back(static_cast<int64_t>(value));
                } else if (property.callback != nullptr &&
                           !property.callback(
                               {i, j, value, property.userData, property.userIndex})) {
                    return Stopped();
                }
            }
            if (property.TakesWholeLists() && !DeliverList(property, i, entries)) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace glintor
