// The request is read twice with a SAX parser straight from the host's
// UTF-16 text: the first pass keeps everything but the entries of "Lista",
// the second hands the entries over one at a time. A class of a million
// sheets as one JSON tree took about twenty times the document's size.
#include <algorithm>
#include <iterator>
#include <stdexcept>

#include "Export.h"

namespace quorlen_exporter {

namespace {

// The host sends compact JSON with every character outside ASCII escaped;
// anything else is not ours to guess: it becomes a byte that fails to parse.
struct TNarrowIterator {
    using iterator_category = std::forward_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = char;
    const char16_t* At = nullptr;
    char operator*() const { return *At < 0x80 ? static_cast<char>(*At) : '\x01'; }
    TNarrowIterator& operator++() {
        ++At;
        return *this;
    }
    TNarrowIterator operator++(int) {
        TNarrowIterator before = *this;
        ++At;
        return before;
    }
    bool operator==(const TNarrowIterator& other) const { return At == other.At; }
    bool operator!=(const TNarrowIterator& other) const { return At != other.At; }
};

// Builds the request as a JSON tree, except that the elements of
// Wyniki.Lista are built one by one and handed to Entry() instead of kept.
// Keys repeat as in a tree: the last one wins.
class TRequestSax {
public:
    explicit TRequestSax(Json& head) : head_(head) {}
    virtual ~TRequestSax() = default;

    bool null() { return Place(Json()); }
    bool boolean(bool value) { return Place(Json(value)); }
    bool number_integer(Json::number_integer_t value) { return Place(Json(value)); }
    bool number_unsigned(Json::number_unsigned_t value) { return Place(Json(value)); }
    bool number_float(Json::number_float_t value, const std::string&) { return Place(Json(value)); }
    bool string(std::string& value) { return Place(Json(std::move(value))); }
    bool binary(Json::binary_t&) { return false; }
    bool key(std::string& name) {
        key_ = std::move(name);
        return true;
    }
    bool start_object(std::size_t) { return Open(Json::object(), false); }
    bool start_array(std::size_t) {
        // The document's list: its elements are not kept.
        const bool list = stack_.size() == 2 && inDocument_ && key_ == "Lista";
        return Open(Json::array(), list);
    }
    bool end_object() { return Close(); }
    bool end_array() { return Close(); }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& e) {
        error_ = e.what();
        return false;
    }

    const std::string& Error() const { return error_; }
    // Whether the document's last "Lista" was an array (whose entries were streamed).
    bool ListStreamed() const { return listStreamed_; }

protected:
    // One entry of the current "Lista"; occurrence counts the arrays under
    // "Lista" from 1, in the order of the text.
    virtual void Entry(const Json& entry, int occurrence) = 0;
    virtual void ListStarted() {}

public:
    int Occurrences() const { return occurrence_; }

private:
    // Where a new value goes, with the bookkeeping of which list it is in.
    Json* Slot() {
        if (stack_.empty()) return &head_;
        Json* parent = stack_.back();
        if (!parent) return &entry_;
        if (parent->is_object()) {
            if (stack_.size() == 1 && key_ == "Wyniki") listStreamed_ = false;
            if (stack_.size() == 2 && inDocument_ && key_ == "Lista") listStreamed_ = false;
            return &((*parent)[key_] = Json());
        }
        parent->push_back(Json());
        return &parent->back();
    }
    bool Place(Json value) {
        const bool entry = !stack_.empty() && !stack_.back();
        *Slot() = std::move(value);
        if (entry) Entry(entry_, occurrence_);
        return true;
    }
    bool Open(Json value, bool list) {
        if (stack_.size() >= kMaxDepth) {
            error_ = "dokument JSON jest zagnieżdżony głębiej niż " + std::to_string(kMaxDepth) + " poziomów";
            return false;
        }
        const bool document = stack_.size() == 1 && key_ == "Wyniki";
        Json* slot = Slot();
        *slot = std::move(value);
        if (stack_.size() == 1) inDocument_ = document;
        if (list) {
            listStreamed_ = true;
            ++occurrence_;
            ListStarted();
            stack_.push_back(nullptr);
        } else {
            stack_.push_back(slot);
        }
        return true;
    }
    bool Close() {
        stack_.pop_back();
        if (!stack_.empty() && !stack_.back()) Entry(entry_, occurrence_);
        return true;
    }

    static constexpr std::size_t kMaxDepth = 256;
    Json& head_;
    Json entry_;
    std::vector<Json*> stack_;  // nullptr stands for the list being streamed
    std::string key_;
    bool inDocument_ = false;  // the open object at depth 1 is "Wyniki"
    bool listStreamed_ = false;
    int occurrence_ = 0;
    std::string error_;
};

// The first pass: the widest entry of each list, which the tables need
// before their first row.
class TMeasure : public TRequestSax {
public:
    using TRequestSax::TRequestSax;
    int Widest = 0;

protected:
    void ListStarted() override { Widest = 0; }
    void Entry(const Json& entry, int) override {
        const auto answers = entry.is_object() ? entry.find("Wyniki") : entry.end();
        if (entry.is_object() && answers != entry.end() && answers->is_array())
            Widest = std::max(Widest, static_cast<int>(answers->size()));
    }
};

class TVisit : public TRequestSax {
public:
    TVisit(Json& scratch, int list, const std::function<void(const Json&)>& visit)
        : TRequestSax(scratch), list_(list), visit_(visit) {}

protected:
    void Entry(const Json& entry, int occurrence) override {
        if (occurrence == list_) visit_(entry);
    }

private:
    int list_;
    const std::function<void(const Json&)>& visit_;
};

}  // namespace

TRequest::TRequest(const char16_t* text) : text_(text ? text : u""), end_(text_ + std::char_traits<char16_t>::length(text_)) {
    TMeasure measure(head_);
    if (!Json::sax_parse(TNarrowIterator{text_}, TNarrowIterator{end_}, &measure))
        throw std::runtime_error(measure.Error());
    listStreamed_ = measure.ListStreamed();
    list_ = measure.Occurrences();
    static const Json none;
    const auto document = head_.is_object() ? head_.find("Wyniki") : head_.end();
    document_ = head_.is_object() && document != head_.end() ? &*document : &none;
    columns_ = document_->is_object() && document_->contains("QCnt") && (*document_)["QCnt"].is_number_integer()
                   ? (*document_)["QCnt"].get<int>()
                   : 0;
    if (columns_ < 0) columns_ = 0;
    if (listStreamed_) columns_ = std::max(columns_, measure.Widest);
}

void TRequest::ForEachEntry(const std::function<void(const Json&)>& visit) const {
    if (!listStreamed_) return;
    // The text parsed once already; only the entries are of interest now.
    Json scratch;
    TVisit pass(scratch, list_, visit);
    Json::sax_parse(TNarrowIterator{text_}, TNarrowIterator{end_}, &pass);
}

TRow RowOf(const Json& entry, int lp) {
    TRow row{lp,
             TextOf(entry, "Student"),
             TextOf(entry, "FileName"),
             {},
             TextOf(entry, "Wersja"),
             NumberOf(entry, "Punkty"),
             NumberOf(entry, "Max"),
             NumberOf(entry, "Procent"),
             NumberOf(entry, "Ocena"),
             0,
             NoteOf(entry)};
    if (const auto status = NumberOf(entry, "Status")) row.Status = static_cast<int>(*status);
    if (entry.is_object() && entry.contains("Wyniki") && entry["Wyniki"].is_array())
        for (const Json& answer : entry["Wyniki"]) {
            std::string value = answer.is_string() ? answer.get<std::string>() : std::string();
            row.Answers.push_back(value == " " ? std::string() : value);
        }
    return row;
}

void TRequest::ForEachRow(const std::function<void(const TRow&)>& visit) const {
    int lp = 0;
    ForEachEntry([&](const Json& entry) { visit(RowOf(entry, ++lp)); });
}

}  // namespace quorlen_exporter
