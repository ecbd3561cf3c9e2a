// Reader of PLY files (ascii, binary_little_endian and binary_big_endian) that hands every value to
// callbacks registered per (element, property) pair.
//
// Use: Open (or OpenMemory), ReadHeader, a sink for each wanted property, Read, Close.
// Every step answers false on failure; the reader then reports one message naming the file through
// its error callback (by default "PLY: %s" on standard error) and keeps it in LastError().
//
// Two kinds of sink. A read callback (SetReadCallback) gets every value on its own, in file order:
// element by element, instance by instance, property by property. A scalar arrives with
// valueIndex 0; a list first gives its length with valueIndex -1, then its entries with valueIndex
// 0 to length - 1. Bulk sinks serve large meshes without a call per value: a float target
// (SetFloatTarget) stores a scalar property straight into memory, a list target (SetListTarget)
// hands over each list of integers whole, and a list batch target (SetListBatchTarget) hands over
// many such lists in one call. Properties without a sink are read and skipped.
//
// Guarantees callers rely on: every element count lies in 0 to INT32_MAX, and once CheckBody has
// answered true (Read asks it first) the counts fit in the bytes the file holds, so a caller may
// then size arrays by them. instanceIndex is always below the element's count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace glintor {

enum class PlyEncoding { Ascii, BinaryLittleEndian, BinaryBigEndian };

enum class PlyType : uint8_t { Int8, UInt8, Int16, UInt16, Int32, UInt32, Float32, Float64 };

// Accepts both naming schemes: char/int8, uchar/uint8, short/int16, ushort/uint16, int/int32,
// uint/uint32, float/float32, double/float64.
bool ParsePlyType(std::string_view name, PlyType& type);
// The new-style name ("uint8", "float32", ...).
const char* PlyTypeName(PlyType type);
int PlyTypeSize(PlyType type);
// The header word: "ascii", "binary_little_endian" or "binary_big_endian".
const char* PlyEncodingName(PlyEncoding encoding);

struct PlyValue {
    int32_t instanceIndex;  // instance of the element, 0 to count - 1
    int32_t valueIndex;  // -1 for a list's length, else the entry within the list (0 for scalars)
    double value;
    void* userData;     // as given to SetReadCallback
    int32_t userIndex;  // as given to SetReadCallback
};

// Answer false to stop reading: Read then returns false without a message of its own, since the
// caller knows why it stopped.
using PlyReadCallback = bool (*)(const PlyValue& value);
// One whole list of integers; answer false to stop reading, as for PlyReadCallback.
using PlyListCallback = bool (*)(int32_t instanceIndex, const int64_t* entries, int32_t length,
                                 void* userData);
// Whole lists of integers for the instances first to first + lists - 1: lengths[k] entries each,
// stored one list after another in entries. A batch ends early where the file has a fault, so
// every list before the fault is delivered before it is reported. Answer false to stop reading.
using PlyListBatchCallback = bool (*)(int32_t first, int32_t lists, const int32_t* lengths,
                                      const int64_t* entries, void* userData);
using PlyErrorCallback = void (*)(const std::string& message, void* userData);

struct PlyProperty {
    std::string name;
    PlyType type = PlyType::Float32;  // the entries' type for a list
    bool isList = false;
    PlyType countType = PlyType::UInt8;  // lists only
    // At most one sink: a read callback, a float target, a list target or a list batch target.
    PlyReadCallback callback = nullptr;
    void* userData = nullptr;
    int32_t userIndex = 0;
    float* target = nullptr;  // value x targetScale goes to target[instance * targetStride]
    std::size_t targetStride = 0;
    double targetScale = 1.0;
    PlyListCallback listCallback = nullptr;            // gets userData
    PlyListBatchCallback listBatchCallback = nullptr;  // gets userData

    bool TakesWholeLists() const { return listCallback != nullptr || listBatchCallback != nullptr; }
};

struct PlyElement {
    std::string name;
    int32_t count = 0;
    std::vector<PlyProperty> properties;
};

class PlyReader {
public:
    // Without a callback, errors are printed as "PLY: <message>" on standard error.
    explicit PlyReader(PlyErrorCallback onError = nullptr, void* errorUserData = nullptr);
    PlyReader(const PlyReader&) = delete;
    PlyReader& operator=(const PlyReader&) = delete;

    // Reads the whole file into memory and checks the "ply" magic line.
    bool Open(const std::string& fileName);
    // The same for bytes already in memory (copied); `name` stands for the file in messages.
    bool OpenMemory(const std::string& name, const void* bytes, std::size_t size);
    bool ReadHeader();
    // Answers the element's instance count when the property exists, else 0.
    int32_t InstanceCount(std::string_view element, std::string_view property) const;
    // Each registration answers what InstanceCount answers, and 0 when it registers nothing.
    int32_t SetReadCallback(std::string_view element, std::string_view property,
                            PlyReadCallback callback, void* userData, int32_t userIndex);
    // Scalar properties only: value x scale, rounded to float, lands at first[instance * stride].
    int32_t SetFloatTarget(std::string_view element, std::string_view property, float* first,
                           std::size_t stride, double scale);
    // Lists of integers only (every integer type has 32 bits or fewer, so int64 holds them all).
    int32_t SetListTarget(std::string_view element, std::string_view property,
                          PlyListCallback callback, void* userData);
    // The same lists, many per call where the element holds nothing else.
    int32_t SetListBatchTarget(std::string_view element, std::string_view property,
                               PlyListBatchCallback callback, void* userData);
    // Fails, with a message, when the counts need more bytes than follow the header.
    bool CheckBody();
    bool Read();
    void Close();

    PlyEncoding Encoding() const { return encoding_; }
    const std::vector<PlyElement>& Elements() const { return elements_; }
    const std::vector<std::string>& Comments() const { return comments_; }
    const std::vector<std::string>& ObjInfo() const { return objInfo_; }
    const PlyProperty* FindProperty(std::string_view element, std::string_view property) const;
    const std::string& FileName() const { return fileName_; }
    const std::string& LastError() const { return lastError_; }

private:
    enum class Stage { Closed, Opened, HeaderRead, Finished };

    bool Fail(const std::string& problem);
    bool Stopped();
    bool CheckMagic();
    bool ParseHeaderLine(std::string_view line, int lineNumber, bool& ended);
    PlyProperty* Sink(std::string_view element, std::string_view property, int32_t& count);
    PlyProperty* IntegerListSink(std::string_view element, std::string_view property,
                                 int32_t& count);
    bool Deliver(const PlyProperty& property, int32_t instance, double value);
    bool DeliverList(const PlyProperty& property, int32_t instance, int32_t length);
    bool DeliverBatch(const PlyProperty& property, int32_t first, int32_t lists);
    bool ReadBinaryFixed(PlyElement& element);
    bool ReadBinaryVarying(PlyElement& element);
    bool ReadBinaryListTarget(PlyElement& element);
    bool ReadAscii(PlyElement& element);
    bool AsciiNumber(const PlyElement& element, const PlyProperty& property, PlyType type,
                     int32_t instance, double& value);
    bool AsciiValue(const PlyElement& element, const PlyProperty& property, PlyType type,
                    int32_t instance, double& value);
    bool TruncatedIn(const PlyElement& element, int32_t instance);
    bool InvalidListLength(const PlyElement& element, const PlyProperty& property, int32_t instance,
                           double length);

    PlyErrorCallback onError_;
    void* errorUserData_;
    std::string fileName_;
    std::string lastError_;
    struct Unmap {
        std::size_t length;
        void operator()(char* bytes) const;
    };
    bool Allocate(std::size_t size);

    // The file plus one NUL byte, which ends the last ASCII token without a bounds test.
    std::unique_ptr<char, Unmap> data_;
    std::size_t size_ = 0;
    std::size_t position_ = 0;
    Stage stage_ = Stage::Closed;
    bool hasFormat_ = false;
    PlyEncoding encoding_ = PlyEncoding::Ascii;
    std::vector<PlyElement> elements_;
    std::vector<std::string> comments_;
    std::vector<std::string> objInfo_;
    std::vector<int64_t> listEntries_;  // one list, or one batch of lists, reused
    std::vector<int32_t> listLengths_;  // the lengths of one batch
};

}  // namespace glintor
