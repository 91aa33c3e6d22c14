#include "core/recognition/PdfPage.h"

// Without it qpdf warns that its old PointerHolder is on the way out; we use
// only std::shared_ptr.
#define POINTERHOLDER_TRANSITION 4

#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-global.h>
#include <poppler/cpp/poppler-image.h>
#include <poppler/cpp/poppler-page-renderer.h>
#include <poppler/cpp/poppler-page.h>
#include <qpdf/Buffer.hh>
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <optional>
#include <vector>

#include "core/recognition/Binarize.h"
#include "core/recognition/DocumentShelf.h"
#include "core/recognition/ScanDecoders.h"
#include "core/recognition/Threshold.h"
#include "core/recognition/TiffPage.h"

#if defined(__SANITIZE_ADDRESS__)
#define QUORLEN_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUORLEN_LEAK_CHECKED 1
#endif
#endif
#ifdef QUORLEN_LEAK_CHECKED
// fontconfig, which poppler asks for a font once per process, keeps its
// configuration (288 bytes, however many pages were rendered) past exit.
// Every sanitized program that can render a page (the CLI, the tests) takes
// this from here, since this object is linked wherever pages are read. Weak,
// so that a program with suppressions of its own (which then name this one
// too) keeps them.
extern "C" __attribute__((weak)) const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
#endif

namespace quorlen {

namespace {

bool Fail(std::string* detail, const std::string& why) {
    if (detail) *detail = why;
    return false;
}

const char* const kDamaged = "Plik PDF jest uszkodzony lub niepełny";

std::string Damaged(const std::string& said) {
    return std::string(kDamaged) + (said.empty() ? "." : " (" + said + ").");
}

// Opens the PDF on a descriptor of its own. Recovery is off: a file whose
// cross-reference table is gone (cut short while copied) is reported as
// damaged rather than read in part with pages silently missing.
bool Open(int fd, QPDF& pdf, std::string* why) {
    const int own = ::dup(fd);
    FILE* file = own >= 0 ? ::fdopen(own, "rb") : nullptr;
    if (!file) {
        if (own >= 0) ::close(own);
        return Fail(why, Damaged("nie można otworzyć pliku"));
    }
    pdf.setSuppressWarnings(true);
    pdf.setAttemptRecovery(false);
    try {
        pdf.processFile("scan.pdf", file, true);
    } catch (const QPDFExc& e) {
        if (e.getErrorCode() == qpdf_e_password)
            return Fail(why, "Plik PDF jest zaszyfrowany: otwarcie go wymaga hasła.");
        return Fail(why, Damaged(e.getMessageDetail()));
    } catch (const std::exception& e) {
        return Fail(why, Damaged(e.what()));
    }
    return true;
}

int Pages(QPDF& pdf, std::string* why) {
    try {
        const size_t n = pdf.getAllPages().size();
        if (n == 0) return Fail(why, "Plik PDF nie ma żadnej strony."), 0;
        return static_cast<int>(std::min<size_t>(n, 1'000'000));
    } catch (const std::exception& e) {
        return Fail(why, Damaged(e.what())), 0;
    }
}

// ---- A page that is one image ----------------------------------------------

using Matrix = std::array<double, 6>;  // a b c d e f, as cm takes them

Matrix Multiply(const Matrix& m, const Matrix& n) {  // m then n
    return {m[0] * n[0] + m[1] * n[2],        m[0] * n[1] + m[1] * n[3],        m[2] * n[0] + m[3] * n[2],
            m[2] * n[1] + m[3] * n[3],        m[4] * n[0] + m[5] * n[2] + n[4], m[4] * n[1] + m[5] * n[3] + n[5]};
}

// Reads the page's content for the XObjects it draws and where. Only saving
// and restoring the state, changing the matrix and drawing one XObject make
// a page of one image (Plain).
class Drawings : public QPDFObjectHandle::ParserCallbacks {
public:
    struct Drawn {
        std::string Name;
        Matrix Placement;
    };
    std::vector<Drawn> Done;
    bool Plain = true;

    void handleObject(QPDFObjectHandle object) override {
        if (!object.isOperator()) {
            operands_.push_back(object);
            return;
        }
        const std::string op = object.getOperatorValue();
        if (op == "q") {
            stack_.push_back(ctm_);
        } else if (op == "Q") {
            if (!stack_.empty()) ctm_ = stack_.back(), stack_.pop_back();
        } else if (op == "cm" && operands_.size() == 6) {
            Matrix m{};
            bool numbers = true;
            for (size_t i = 0; i < 6; ++i) {
                numbers = numbers && operands_[i].isNumber();
                m[i] = numbers ? operands_[i].getNumericValue() : 0;
            }
            if (numbers) ctm_ = Multiply(m, ctm_);
            Plain = Plain && numbers;
        } else if (op == "Do" && operands_.size() == 1 && operands_[0].isName()) {
            Done.push_back({operands_[0].getName(), ctm_});
        } else {
            Plain = false;
        }
        operands_.clear();
    }
    void handleEOF() override {}

private:
    std::vector<QPDFObjectHandle> operands_;
    Matrix ctm_{1, 0, 0, 1, 0, 0};
    std::vector<Matrix> stack_;
};

struct Box {
    double X0, Y0, X1, Y1;
    double Width() const { return X1 - X0; }
    double Height() const { return Y1 - Y0; }
};

Box CropBox(QPDFPageObjectHelper& page) {
    const QPDFObjectHandle::Rectangle r = page.getCropBox().getArrayAsRectangle();
    return {std::min(r.llx, r.urx), std::min(r.lly, r.ury), std::max(r.llx, r.urx), std::max(r.lly, r.ury)};
}

int Rotation(QPDFPageObjectHelper& page) {
    QPDFObjectHandle rotate = page.getAttribute("/Rotate", false);
    return rotate.isInteger() ? static_cast<int>(((rotate.getIntValue() % 360) + 360) % 360) : 0;
}

QPDFObjectHandle ImageNamed(QPDFPageObjectHelper& page, const std::string& name) {
    QPDFObjectHandle xobjects = page.getAttribute("/Resources", false).getKeyIfDict("/XObject");
    QPDFObjectHandle image = xobjects.getKeyIfDict(name);
    return image.isStream() && image.getDict().getKey("/Subtype").isNameAndEquals("/Image")
               ? image
               : QPDFObjectHandle::newNull();
}

// The image drawn upright over the whole page (each edge within 2.5 % of the
// page), or null: a small or turned image is rendered with the page.
QPDFObjectHandle FullPageImage(QPDFPageObjectHelper& page, const Drawings& drawings) {
    if (Rotation(page) != 0 || !drawings.Plain || drawings.Done.size() != 1) return QPDFObjectHandle::newNull();
    QPDFObjectHandle image = ImageNamed(page, drawings.Done[0].Name);
    if (image.isNull()) return image;
    const Matrix& m = drawings.Done[0].Placement;
    const Box page_ = CropBox(page);
    if (page_.Width() <= 0 || page_.Height() <= 0 || m[0] <= 0 || m[3] <= 0) return QPDFObjectHandle::newNull();
    const double tx = 0.025 * page_.Width(), ty = 0.025 * page_.Height();
    const bool upright = std::abs(m[1]) < 1e-6 * m[0] && std::abs(m[2]) < 1e-6 * m[3];
    const bool full = std::abs(m[4] - page_.X0) <= tx && std::abs(m[4] + m[0] - page_.X1) <= tx &&
                      std::abs(m[5] - page_.Y0) <= ty && std::abs(m[5] + m[3] - page_.Y1) <= ty;
    return upright && full ? image : QPDFObjectHandle::newNull();
}

std::vector<std::string> Filters(QPDFObjectHandle dict) {
    std::vector<std::string> names;
    QPDFObjectHandle f = dict.getKey("/Filter");
    if (f.isName()) names.push_back(f.getName());
    if (f.isArray())
        for (int i = 0; i < f.getArrayNItems(); ++i)
            names.push_back(f.getArrayItem(i).isName() ? f.getArrayItem(i).getName() : std::string("?"));
    return names;
}

enum class Taken { Decoded, Failed, Render };

Taken Result(bool ok) { return ok ? Taken::Decoded : Taken::Failed; }

// Each sample of a row to grey.
struct Samples {
    int Components = 0;  // 1, 3 or 4 (CMYK)
    std::vector<uint8_t> Palette;  // grey of each index of an Indexed space
};

int ComponentsOf(QPDFObjectHandle space) {
    if (space.isName()) {
        const std::string n = space.getName();
        return n == "/DeviceGray" ? 1 : n == "/DeviceRGB" ? 3 : n == "/DeviceCMYK" ? 4 : 0;
    }
    if (!space.isArray() || space.getArrayNItems() < 1 || !space.getArrayItem(0).isName()) return 0;
    const std::string family = space.getArrayItem(0).getName();
    if (family == "/CalGray") return 1;
    if (family == "/CalRGB") return 3;
    if (family == "/ICCBased" && space.getArrayNItems() >= 2 && space.getArrayItem(1).isStream()) {
        QPDFObjectHandle n = space.getArrayItem(1).getDict().getKey("/N");
        const long long c = n.isInteger() ? n.getIntValue() : 0;
        return c == 1 || c == 3 || c == 4 ? static_cast<int>(c) : 0;
    }
    return 0;
}

uint8_t GreyOf(const uint8_t* v, int components) {
    if (components == 1) return v[0];
    if (components == 3) return static_cast<uint8_t>(Luminance(v[0], v[1], v[2]));
    const int k = 255 - v[3];
    return static_cast<uint8_t>(Luminance((255 - v[0]) * k / 255, (255 - v[1]) * k / 255, (255 - v[2]) * k / 255));
}

// What the samples mean, or false for a colour space we leave to the renderer.
bool Describe(QPDFObjectHandle space, int bits, Samples& s) {
    s.Components = ComponentsOf(space);
    if (s.Components) return true;
    if (!space.isArray() || space.getArrayNItems() != 4 || !space.getArrayItem(0).isNameAndEquals("/Indexed"))
        return false;
    const int base = ComponentsOf(space.getArrayItem(1));
    QPDFObjectHandle hival = space.getArrayItem(2), lookup = space.getArrayItem(3);
    if (!base || !hival.isInteger() || hival.getIntValue() < 0 || hival.getIntValue() > 255) return false;
    std::string table;
    if (lookup.isString())
        table = lookup.getStringValue();
    else if (lookup.isStream()) {
        const std::shared_ptr<Buffer> data = lookup.getStreamData(qpdf_dl_generalized);
        table.assign(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
    } else {
        return false;
    }
    const size_t entries = static_cast<size_t>(hival.getIntValue()) + 1;
    if (table.size() < entries * static_cast<size_t>(base)) return false;
    s.Palette.assign(size_t{1} << bits, 0);  // indices past hival are black, as readers take them
    for (size_t i = 0; i < entries; ++i)
        s.Palette[i] = GreyOf(reinterpret_cast<const uint8_t*>(table.data()) + i * static_cast<size_t>(base), base);
    s.Components = 1;
    return true;
}

// Cuts the decoded stream into rows and hands each to a callback; data
// past the last row is ignored, as viewers ignore it.
class Rows : public Pipeline {
public:
    Rows(size_t rowBytes, int32_t height, std::function<void(const uint8_t*, int32_t)> take)
        : Pipeline("rows", nullptr), row_(rowBytes), height_(height), take_(std::move(take)) {}
    void write(unsigned char const* data, size_t len) override {
        while (len > 0 && done_ < height_) {
            const size_t n = std::min(len, row_.size() - have_);
            std::memcpy(row_.data() + have_, data, n);
            have_ += n, data += n, len -= n;
            if (have_ == row_.size()) take_(row_.data(), done_++), have_ = 0;
        }
    }
    void finish() override {}
    bool Complete() const { return done_ == height_; }

private:
    std::vector<uint8_t> row_;
    size_t have_ = 0;
    int32_t done_ = 0;
    int32_t height_;
    std::function<void(const uint8_t*, int32_t)> take_;
};

Taken DecodeSamples(QPDFObjectHandle image, int32_t w, int32_t h, bool invert, TMonoBitmap& raster,
                    std::string* detail, const TScanSizeHook& sizeHook) {
    QPDFObjectHandle dict = image.getDict();
    QPDFObjectHandle bpc = dict.getKey("/BitsPerComponent");
    const int bits = bpc.isInteger() ? static_cast<int>(bpc.getIntValue()) : 0;
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16) return Taken::Render;
    Samples s;
    if (!Describe(dict.getKey("/ColorSpace"), bits, s)) return Taken::Render;
    if (invert && (s.Components != 1 || !s.Palette.empty())) return Taken::Render;
    const size_t rowBytes = (static_cast<size_t>(w) * static_cast<size_t>(s.Components) * bits + 7) / 8;
    const bool oneBit = bits == 1 && s.Components == 1 && s.Palette.empty();
    const uint64_t working = rowBytes + (oneBit ? 0 : ReductionBytes(w, h) + static_cast<uint64_t>(w) * 4);
    if (!AcceptScanSize(w, h, working, sizeHook, detail)) return Taken::Failed;

    std::optional<TScanReduction> reduction;
    std::vector<uint8_t> values;
    std::function<void(const uint8_t*, int32_t)> take;
    if (oneBit) {
        raster.Resize(w, h);
        const size_t bytes = (static_cast<size_t>(w) + 7) / 8;
        take = [&raster, bytes, w](const uint8_t* row, int32_t y) {
            std::memcpy(raster.Row(y), row, bytes);
            if (w & 7) raster.Row(y)[bytes - 1] &= static_cast<uint8_t>(0xFF00u >> (w & 7));
        };
    } else {
        reduction.emplace(w, h, raster);
        values.resize(static_cast<size_t>(s.Components));
        const int max = (1 << std::min(bits, 8)) - 1;
        take = [&, bits, max](const uint8_t* row, int32_t y) {
            uint8_t* grey = reduction->Row(y);
            size_t bit = 0;
            for (int32_t x = 0; x < w; ++x) {
                for (int c = 0; c < s.Components; ++c, bit += static_cast<size_t>(bits)) {
                    int v;
                    if (bits == 16)
                        v = row[bit / 8];  // the high byte
                    else if (bits == 8)
                        v = row[bit / 8];
                    else
                        v = (row[bit / 8] >> (8 - bits - static_cast<int>(bit % 8))) & max;
                    values[static_cast<size_t>(c)] =
                        !s.Palette.empty() ? s.Palette[static_cast<size_t>(v)] : static_cast<uint8_t>(v * 255 / max);
                }
                const uint8_t g = GreyOf(values.data(), s.Components);
                grey[x] = invert ? static_cast<uint8_t>(255 - g) : g;
            }
            reduction->RowDone(y);
        };
    }
    Rows rows(rowBytes, h, take);
    bool attempted = false;
    const bool ok = image.pipeStreamData(&rows, &attempted, 0, qpdf_dl_generalized, true, false);
    if (!ok || !attempted || !rows.Complete()) return Fail(detail, Damaged("dane obrazu strony są niepełne")), Taken::Failed;
    if (oneBit)  // DeviceGray: a 0 sample is black
        invert ? raster.SetPalette(TMonoBitmap::White, TMonoBitmap::Black)
               : raster.SetPalette(TMonoBitmap::Black, TMonoBitmap::White);
    return Taken::Decoded;
}

bool IsGeneralized(const std::string& filter) {
    return filter == "/FlateDecode" || filter == "/Fl" || filter == "/LZWDecode" || filter == "/LZW" ||
           filter == "/RunLengthDecode" || filter == "/RL" || filter == "/ASCIIHexDecode" || filter == "/AHx" ||
           filter == "/ASCII85Decode" || filter == "/A85";
}

QPDFObjectHandle FirstParms(QPDFObjectHandle dict) {
    QPDFObjectHandle p = dict.getKey("/DecodeParms");
    if (p.isArray() && p.getArrayNItems() > 0) p = p.getArrayItem(0);
    return p.isDictionary() ? p : QPDFObjectHandle::newDictionary();
}

Taken DecodeImage(QPDFObjectHandle image, TMonoBitmap& raster, std::string* detail, const TScanSizeHook& sizeHook) {
    QPDFObjectHandle dict = image.getDict();
    if (dict.getKey("/ImageMask").isBool() && dict.getKey("/ImageMask").getBoolValue()) return Taken::Render;
    if (dict.hasKey("/SMask") || dict.hasKey("/Mask")) return Taken::Render;
    QPDFObjectHandle width = dict.getKey("/Width"), height = dict.getKey("/Height");
    if (!width.isInteger() || !height.isInteger()) return Taken::Render;
    const long long w = width.getIntValue(), h = height.getIntValue();
    if (w <= 0 || h <= 0 || w > kMaxScanSide || h > kMaxScanSide) {
        AcceptScanSize(w, h, 0, {}, detail);
        return Taken::Failed;
    }
    // Only the usual mapping of samples and its inversion for one component.
    bool invert = false;
    QPDFObjectHandle decode = dict.getKey("/Decode");
    if (decode.isArray()) {
        std::vector<double> d;
        for (int i = 0; i < decode.getArrayNItems(); ++i)
            d.push_back(decode.getArrayItem(i).isNumber() ? decode.getArrayItem(i).getNumericValue() : -1);
        if (d.size() == 2 && d[0] == 1 && d[1] == 0)
            invert = true;
        else
            for (size_t i = 0; i < d.size(); ++i)
                if (d[i] != (i % 2 ? 1.0 : 0.0)) return Taken::Render;
    }
    const std::vector<std::string> filters = Filters(dict);
    if (filters.size() == 1 && (filters[0] == "/DCTDecode" || filters[0] == "/DCT")) {
        if (invert) return Taken::Render;
        const std::shared_ptr<Buffer> jpeg = image.getRawStreamData();
        return Result(DecodeJpegBytes(
            std::string_view(reinterpret_cast<const char*>(jpeg->getBuffer()), jpeg->getSize()), raster, detail,
            sizeHook));
    }
    if (filters.size() == 1 && (filters[0] == "/CCITTFaxDecode" || filters[0] == "/CCF")) {
        QPDFObjectHandle p = FirstParms(dict);
        auto integer = [&](const char* key, long long fallback) {
            return p.getKey(key).isInteger() ? p.getKey(key).getIntValue() : fallback;
        };
        auto boolean = [&](const char* key) { return p.getKey(key).isBool() && p.getKey(key).getBoolValue(); };
        // G3 and byte-aligned G4 have no plain TIFF form: the renderer takes them.
        if (integer("/K", 0) >= 0 || boolean("/EncodedByteAlign") || integer("/Columns", 1728) != w)
            return Taken::Render;
        const std::shared_ptr<Buffer> fax = image.getRawStreamData();
        const std::string tiff = G4AsTiff(
            std::string_view(reinterpret_cast<const char*>(fax->getBuffer()), fax->getSize()),
            static_cast<uint32_t>(w), static_cast<uint32_t>(h));
        if (!DecodeTiffBytes(tiff, raster, detail, sizeHook)) return Taken::Failed;
        // Black runs are set bits; a sample of 0 (or of 1 under BlackIs1) is
        // black, and the Decode array turns that round.
        if (boolean("/BlackIs1") != invert) raster.SetPalette(TMonoBitmap::Black, TMonoBitmap::White);
        return Taken::Decoded;
    }
    for (const std::string& f : filters)
        if (!IsGeneralized(f)) return Taken::Render;
    return DecodeSamples(image, static_cast<int32_t>(w), static_cast<int32_t>(h), invert, raster, detail,
                         sizeHook);
}

// ---- Any other page: rendered ----------------------------------------------

void Quiet(const std::string&, void*) {}

// The finer resolution when an image drawn on the page holds at least
// kFineImageDpi pixels per inch of the length it is drawn at (a scan placed
// beside text); the image's sides are the lengths of the transformed unit
// square's sides.
int RenderDpi(QPDFPageObjectHelper& page, const Drawings& drawings) {
    double finest = 0;
    for (const Drawings::Drawn& d : drawings.Done) {
        QPDFObjectHandle image = ImageNamed(page, d.Name);
        if (image.isNull()) continue;
        QPDFObjectHandle w = image.getDict().getKey("/Width"), h = image.getDict().getKey("/Height");
        const double across = std::hypot(d.Placement[0], d.Placement[1]) / 72;
        const double down = std::hypot(d.Placement[2], d.Placement[3]) / 72;
        if (w.isInteger() && across > 0) finest = std::max(finest, static_cast<double>(w.getIntValue()) / across);
        if (h.isInteger() && down > 0) finest = std::max(finest, static_cast<double>(h.getIntValue()) / down);
    }
    return finest >= kFineImageDpi ? kFineRenderDpi : kRenderDpi;
}

bool Render(const std::string& path, int page, int dpi, TMonoBitmap& raster, std::string* detail,
            const TScanSizeHook& sizeHook) {
    static std::once_flag quiet;
    std::call_once(quiet, [] { poppler::set_debug_error_function(Quiet, nullptr); });
    std::unique_ptr<poppler::document> doc(poppler::document::load_from_file(path));
    if (!doc || doc->is_locked()) return Fail(detail, Damaged("poppler nie otwiera pliku"));
    std::unique_ptr<poppler::page> p(doc->create_page(page - 1));
    if (!p) return Fail(detail, Damaged("poppler nie otwiera strony"));
    const poppler::rectf box = p->page_rect(poppler::crop_box);
    double wPt = box.width(), hPt = box.height();
    if (p->orientation() == poppler::page::landscape || p->orientation() == poppler::page::seascape)
        std::swap(wPt, hPt);
    // The size the renderer will give, checked before it allocates.
    const double wPx = std::ceil(std::abs(wPt) * dpi / 72) + 1, hPx = std::ceil(std::abs(hPt) * dpi / 72) + 1;
    if (!(wPx < 1e6 && hPx < 1e6)) return AcceptScanSize(kMaxScanSide + 1, 1, 0, {}, detail);
    const auto w = static_cast<int64_t>(wPx), h = static_cast<int64_t>(hPx);
    if (!AcceptScanSize(w, h, static_cast<uint64_t>((w + 3) / 4 * 4 * h) + ReductionBytes(w, h), sizeHook, detail))
        return false;
    poppler::page_renderer renderer;
    renderer.set_image_format(poppler::image::format_gray8);
    renderer.set_render_hint(poppler::page_renderer::antialiasing, true);
    renderer.set_render_hint(poppler::page_renderer::text_antialiasing, true);
    const poppler::image picture = renderer.render_page(p.get(), dpi, dpi);
    if (!picture.is_valid() || picture.width() <= 0 || picture.height() <= 0 || picture.width() > w ||
        picture.height() > h)
        return Fail(detail, Damaged("strony nie da się narysować"));
    TScanReduction reduction(picture.width(), picture.height(), raster);
    for (int32_t y = 0; y < picture.height(); ++y) {
        std::memcpy(reduction.Row(y), picture.const_data() + static_cast<size_t>(y) * picture.bytes_per_row(),
                    static_cast<size_t>(picture.width()));
        reduction.RowDone(y);
    }
    return true;
}

// A copier's PDF of 300 pages is opened and its page tree walked a few
// times per run, not once per page (which made a page cost two and a half
// times its JPEG): see DocumentShelf.h.
using TPdfShelf = TDocumentShelf<QPDF>;

TPdfShelf& Shelf() {
    static TPdfShelf shelf;
    return shelf;
}

// A document borrowed for one page: back on the shelf when the page is done,
// unless it threw (Drop).
class TPdfLoan {
public:
    TPdfLoan() = default;
    TPdfLoan(const TPdfLoan&) = delete;
    TPdfLoan& operator=(const TPdfLoan&) = delete;
    QPDF* Open(int fd, std::string* why) {
        struct stat st {};
        if (::fstat(fd, &st) != 0) return Fail(why, Damaged("nie można odczytać pliku")), nullptr;
        kept_ = Shelf().Take(TDocumentKey::Of(st));
        taken_ = true;
        if (kept_.Document) return kept_.Document.get();
        auto pdf = std::make_unique<QPDF>();
        if (!quorlen::Open(fd, *pdf, why)) return nullptr;
        kept_.Document = std::move(pdf);
        return kept_.Document.get();
    }
    void Drop() { kept_.Document.reset(); }
    ~TPdfLoan() {
        if (!taken_) return;
        if (kept_.Document)
            Shelf().Give(std::move(kept_));
        else
            Shelf().Return(kept_.Key);
    }

private:
    TPdfShelf::TKept kept_;
    bool taken_ = false;
};

}  // namespace

int CountPdfPages(int fd, std::string* why) {
    QPDF pdf;
    if (!Open(fd, pdf, why)) return 0;
    return Pages(pdf, why);
}

bool DecodePdfPage(int fd, const std::string& path, int page, TMonoBitmap& raster, std::string* detail,
                   const TScanSizeHook& sizeHook) {
    TPdfLoan loan;
    QPDF* document = loan.Open(fd, detail);
    if (!document) return false;
    QPDF& pdf = *document;
    const int pages = Pages(pdf, detail);
    if (pages == 0) return loan.Drop(), false;
    if (page < 1 || page > pages)
        return Fail(detail, "Plik PDF ma " + std::to_string(pages) + " stron(y); strony " + std::to_string(page) +
                                " w nim nie ma.");
    int dpi = kRenderDpi;
    try {
        QPDFPageObjectHelper helper(pdf.getAllPages()[static_cast<size_t>(page - 1)]);
        Drawings drawings;
        helper.parseContents(&drawings);
        QPDFObjectHandle image = FullPageImage(helper, drawings);
        if (!image.isNull()) {
            const Taken taken = DecodeImage(image, raster, detail, sizeHook);
            if (taken != Taken::Render) return taken == Taken::Decoded;
        }
        dpi = RenderDpi(helper, drawings);
    } catch (const std::bad_alloc&) {
        loan.Drop();
        return Fail(detail, "PDF: out of memory");
    } catch (const std::exception& e) {
        loan.Drop();
        return Fail(detail, Damaged(e.what()));
    }
    raster.Clear();
    try {
        return Render(path, page, dpi, raster, detail, sizeHook);
    } catch (const std::exception& e) {
        return Fail(detail, std::string("PDF: ") + e.what());
    }
}

}  // namespace quorlen
