// Two passes over the file: the nesting first (so that a file both too deep
// and broken says what ParseJsonFile says), then a SAX parse that writes the
// compact text as it goes. Neither holds more than a piece of the file.
#include "core/results/ResultsStream.h"

#include <cerrno>
#include <cstdio>
#include <vector>

#include "core/common/FileDescriptor.h"
#include "core/common/Json.h"
#include "core/common/RegularFile.h"

namespace quorlen {

namespace {

const char* const kNotJson = "to nie jest poprawny dokument JSON";

// Every value as DumpJsonCompact writes it, appended as UTF-16 (the text is
// ASCII, so each byte is one unit).
class TCompactWriter {
public:
    explicit TCompactWriter(std::u16string& out) : out_(out) {}

    bool null() { return Scalar("null"); }
    bool boolean(bool value) { return Scalar(value ? "true" : "false"); }
    bool number_integer(Json::number_integer_t value) { return Scalar(std::to_string(value)); }
    bool number_unsigned(Json::number_unsigned_t value) { return Scalar(std::to_string(value)); }
    bool number_float(Json::number_float_t value, const std::string&) { return Scalar(DumpJsonCompact(Json(value))); }
    bool string(std::string& value) { return Scalar(DumpJsonCompact(Json(std::move(value)))); }
    bool binary(Json::binary_t&) { return false; }
    bool key(std::string& name) {
        Separate();
        if (levels_.size() == 1) {
            rootKey_ = name;
            if (name == "Version") hasVersion_ = true;
            if (name == "Klucz") scored_ = true;
        }
        Append(DumpJsonCompact(Json(std::move(name))));
        out_ += u':';
        afterKey_ = true;
        return true;
    }
    bool start_object(std::size_t) { return Open('{', true); }
    bool start_array(std::size_t) { return Open('[', false); }
    bool end_object() { return Close('}'); }
    bool end_array() { return Close(']'); }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) { return false; }

    bool ResultsDocument() const { return rootIsObject_ && hasVersion_ && listIsArray_; }
    bool Scored() const { return scored_; }

private:
    // A comma before every member but the first; none after a key.
    void Separate() {
        if (afterKey_) {
            afterKey_ = false;
            return;
        }
        if (!levels_.empty()) {
            if (levels_.back()) out_ += u',';
            levels_.back() = true;
        }
    }
    void Append(const std::string& ascii) {
        for (const char c : ascii) out_ += static_cast<char16_t>(static_cast<unsigned char>(c));
    }
    // What the root's "Lista" is, the last time the key comes.
    void NoteRootValue(bool array) {
        if (levels_.size() == 1 && rootKey_ == "Lista") listIsArray_ = array;
    }
    bool Scalar(const std::string& text) {
        NoteRootValue(false);
        Separate();
        Append(text);
        return true;
    }
    bool Open(char bracket, bool object) {
        NoteRootValue(!object);
        if (levels_.empty()) rootIsObject_ = object;
        Separate();
        out_ += static_cast<char16_t>(bracket);
        levels_.push_back(false);
        return true;
    }
    bool Close(char bracket) {
        levels_.pop_back();
        out_ += static_cast<char16_t>(bracket);
        return true;
    }

    std::u16string& out_;
    std::vector<bool> levels_;  // per open container: whether it has a member yet
    bool afterKey_ = false;
    std::string rootKey_;
    bool rootIsObject_ = false;
    bool hasVersion_ = false;
    bool listIsArray_ = false;
    bool scored_ = false;
};

}  // namespace

TStreamedResults StreamResultsFile(const std::string& path) {
    TStreamedResults result;
    uint64_t size = 0;
    int descriptor = -1;
    try {
        descriptor = OpenRegularFile(path, UINT64_MAX, &size);
    } catch (const TFileReadError& e) {
        result.Why = e.what();
        return result;
    }
    FileDescriptor fd(descriptor);
    TNestingCounter nesting;
    std::vector<char> piece(1 << 16);
    for (;;) {
        const ssize_t n = ::read(fd.Get(), piece.data(), piece.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            result.Why = TFileReadError(path, FileReadReason(errno)).what();
            return result;
        }
        if (n == 0) break;
        nesting.Feed(std::string_view(piece.data(), static_cast<size_t>(n)));
        if (nesting.Deepest() > MaxJsonDepth) {
            result.Why = path + ": dokument JSON jest zagnieżdżony głębiej niż " + std::to_string(MaxJsonDepth) +
                         " poziomów";
            return result;
        }
    }
    if (::lseek(fd.Get(), 0, SEEK_SET) != 0) {
        result.Why = TFileReadError(path, FileReadReason(errno)).what();
        return result;
    }
    std::FILE* file = ::fdopen(fd.Get(), "rb");
    if (!file) {
        result.Why = TFileReadError(path, FileReadReason(errno)).what();
        return result;
    }
    fd.Release();
    // Compact text is mostly shorter than the file; reserved pages cost
    // nothing until written, and the text is never copied on growing.
    result.Text.reserve(static_cast<size_t>(size) + 16);
    TCompactWriter writer(result.Text);
    const bool parsed = Json::sax_parse(file, &writer);
    std::fclose(file);
    if (!parsed) {
        result.Text = std::u16string();
        result.Why = path + ": " + kNotJson;
        return result;
    }
    result.Parsed = true;
    result.ResultsDocument = writer.ResultsDocument();
    result.Scored = writer.Scored();
    return result;
}

}  // namespace quorlen
