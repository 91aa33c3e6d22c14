// Option values, sources, modes and resolutions against descriptors built
// here the way backends fill them in.
#include <gtest/gtest.h>

#include "core/scanner/ScannerError.h"
#include "core/scanner/ScannerOptions.h"

using namespace quorlen;

namespace {

SANE_Option_Descriptor Descriptor(SANE_Value_Type type, SANE_Int words = 1) {
    SANE_Option_Descriptor d{};
    d.name = "opt";
    d.type = type;
    d.size = words * static_cast<SANE_Int>(sizeof(SANE_Word));
    d.cap = SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT;
    return d;
}

// The value text gives, or the error's message.
std::string Encoded(const SANE_Option_Descriptor& d, const std::string& text) {
    try {
        TOptionValue v = EncodeOptionValue(d, text);
        if (v.Action == SANE_ACTION_SET_AUTO) return "auto";
        if (!v.Text.empty()) return std::string(v.Text.data());
        std::string words;
        for (SANE_Word w : v.Words)
            words += (words.empty() ? "" : ",") +
                     (d.type == SANE_TYPE_FIXED ? std::to_string(SANE_UNFIX(w)).substr(0, 5) : std::to_string(w));
        return words;
    } catch (const TScannerError& e) {
        EXPECT_EQ(e.Status, SANE_STATUS_INVAL);
        return std::string("error: ") + e.what();
    }
}

const SANE_String_Const kPictures[] = {"Solid black", "Solid white", "Color pattern", "Grid", nullptr};

}  // namespace

TEST(ScannerOptions, ValuesAreReadAsTheCommandLineWritesThem) {
    SANE_Option_Descriptor flag = Descriptor(SANE_TYPE_BOOL);
    SANE_Option_Descriptor number = Descriptor(SANE_TYPE_INT);
    SANE_Option_Descriptor array = Descriptor(SANE_TYPE_INT, 3);
    SANE_Option_Descriptor length = Descriptor(SANE_TYPE_FIXED);
    SANE_Option_Descriptor picture = Descriptor(SANE_TYPE_STRING);
    picture.size = 32;
    picture.constraint_type = SANE_CONSTRAINT_STRING_LIST;
    picture.constraint.string_list = kPictures;
    SANE_Option_Descriptor free = Descriptor(SANE_TYPE_STRING);
    free.size = 8;
    SANE_Option_Descriptor automatic = Descriptor(SANE_TYPE_INT);
    automatic.cap |= SANE_CAP_AUTOMATIC;
    const struct {
        const SANE_Option_Descriptor* Option;
        const char* Text;
        std::string Expected;
    } cases[] = {
        {&flag, "", "1"},
        {&flag, "yes", "1"},
        {&flag, "TRUE", "1"},
        {&flag, "on", "1"},
        {&flag, "no", "0"},
        {&flag, "0", "0"},
        {&flag, "maybe", "error: Zła wartość opcji „opt”: „maybe” (oczekiwano yes albo no)."},
        {&number, "200", "200"},
        {&number, "200dpi", "200"},
        {&number, " -8 ", "-8"},
        {&number, "2.6", "3"},
        {&number, "20x0", "error: Zła wartość opcji „opt”: „20x0” (oczekiwano liczby)."},
        {&number, "", "error: Zła wartość opcji „opt”: „” (oczekiwano liczby)."},
        {&number, "99999999999", "error: Zła wartość opcji „opt”: „99999999999” (liczba poza zakresem)."},
        {&number, "auto", "error: Zła wartość opcji „opt”: „auto” (oczekiwano liczby)."},
        {&automatic, "Auto", "auto"},
        {&array, "1,2,3", "1,2,3"},
        {&array, "7", "7,7,7"},
        {&array, "1,2", "error: Zła wartość opcji „opt”: „1,2” (oczekiwano 3 liczb)."},
        {&length, "12.5mm", "12.50"},
        {&length, "40000", "error: Zła wartość opcji „opt”: „40000” (liczba poza zakresem)."},
        {&picture, "Grid", "Grid"},
        {&picture, "color PATTERN", "Color pattern"},
        {&picture, "gr", "Grid"},
        {&picture, "solid",
         "error: Zła wartość opcji „opt”: „solid” (dozwolone: Solid black, Solid white, Color "
         "pattern, Grid)."},
        {&free, "1234567", "1234567"},
        {&free, "12345678", "error: Zła wartość opcji „opt”: „12345678” (za długi tekst)."},
    };
    for (const auto& c : cases) EXPECT_EQ(Encoded(*c.Option, c.Text), c.Expected) << c.Text;

    SANE_Option_Descriptor button = Descriptor(SANE_TYPE_BUTTON, 0);
    EXPECT_EQ(EncodeOptionValue(button, "").Data(), nullptr);
}

TEST(ScannerOptions, SourcesAreFoundUnderEveryBackendsNames) {
    using List = std::vector<std::string>;
    const List test = {"Flatbed", "Automatic Document Feeder"};
    const List duplexFirst = {"ADF Duplex", "ADF Back", "ADF Front"};
    const List glassNamedOtherwise = {"Document Table", "ADF"};
    const List feederOnly = {"ADF"};
    const struct {
        const List* Offered;
        const char* Wanted;
        std::optional<std::string> Expected;
    } cases[] = {
        {&test, "ADF", "Automatic Document Feeder"},
        {&test, "flatbed", "Flatbed"},
        {&test, "automatic document feeder", "Automatic Document Feeder"},
        {&duplexFirst, "ADF", "ADF Front"},
        {&duplexFirst, "ADF Duplex", "ADF Duplex"},
        {&duplexFirst, "Flatbed", std::nullopt},
        {&glassNamedOtherwise, "Flatbed", "Document Table"},
        {&glassNamedOtherwise, "adf", "ADF"},
        {&feederOnly, "Flatbed", std::nullopt},
        {&test, "Transparency", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(PickSource(*c.Offered, c.Wanted), c.Expected) << c.Wanted;
    for (const char* feeder : {"ADF", "ADF Duplex", "Automatic Document Feeder", "Document Feeder(left aligned)"})
        EXPECT_TRUE(IsFeederSource(feeder)) << feeder;
    for (const char* glass : {"Flatbed", "FlatBed", "Document Table", "Transparency Unit"})
        EXPECT_FALSE(IsFeederSource(glass)) << glass;
}

TEST(ScannerOptions, ModesAreFoundUnderEveryBackendsNames) {
    using List = std::vector<std::string>;
    const List standard = {"Lineart", "Gray", "Color"};
    const List wordy = {"Black & White", "True Gray", "24bit Color"};
    const List colourLineartFirst = {"Color Lineart", "Halftone", "Binary", "Grayscale", "Color"};
    const List greyAndColour = {"Gray", "Color"};
    const struct {
        const List* Offered;
        const char* Wanted;
        std::optional<std::string> Expected;
    } cases[] = {
        {&standard, "Gray", "Gray"},
        {&standard, "grey", "Gray"},
        {&standard, "COLOR", "Color"},
        {&standard, "colour", "Color"},
        {&standard, "lineart", "Lineart"},
        {&wordy, "Gray", "True Gray"},
        {&wordy, "Color", "24bit Color"},
        {&wordy, "Lineart", "Black & White"},
        {&colourLineartFirst, "Lineart", "Binary"},
        {&colourLineartFirst, "Color", "Color"},
        {&colourLineartFirst, "Gray", "Grayscale"},
        {&colourLineartFirst, "halftone", "Halftone"},
        {&greyAndColour, "Lineart", std::nullopt},
        {&greyAndColour, "Sepia", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(PickMode(*c.Offered, c.Wanted), c.Expected) << c.Wanted;
}

TEST(ScannerOptions, ResolutionsComeToTheNearestTheDeviceAllows) {
    SANE_Option_Descriptor fixedRange = Descriptor(SANE_TYPE_FIXED);
    const SANE_Range anyDpi{SANE_FIX(1), SANE_FIX(1200), SANE_FIX(1)};
    fixedRange.constraint_type = SANE_CONSTRAINT_RANGE;
    fixedRange.constraint.range = &anyDpi;
    SANE_Option_Descriptor steps = Descriptor(SANE_TYPE_INT);
    const SANE_Range everyFifty{100, 600, 50};
    steps.constraint_type = SANE_CONSTRAINT_RANGE;
    steps.constraint.range = &everyFifty;
    SANE_Option_Descriptor list = Descriptor(SANE_TYPE_INT);
    const SANE_Word offered[] = {5, 75, 150, 240, 255, 300};  // the length first
    list.constraint_type = SANE_CONSTRAINT_WORD_LIST;
    list.constraint.word_list = offered;
    SANE_Option_Descriptor free = Descriptor(SANE_TYPE_INT);
    const struct {
        const SANE_Option_Descriptor* Option;
        double Wanted, Expected;
    } cases[] = {
        {&fixedRange, 200, 200}, {&fixedRange, 0, 1}, {&fixedRange, 5000, 1200}, {&steps, 200, 200}, {&steps, 220, 200},
        {&steps, 230, 250},      {&steps, 50, 100},   {&steps, 9600, 600},       {&list, 200, 240},  {&list, 250, 255},
        {&list, 600, 300},       {&list, 10, 75},     {&free, 333, 333},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WordValue(*c.Option, NearestAllowed(*c.Option, c.Wanted)), c.Expected) << c.Wanted;
}

TEST(ScannerMessages, EveryStatusTellsWhatHappened) {
    const struct {
        int Status;
        const char* Says;
    } cases[] = {
        {SANE_STATUS_JAMMED, "Papier zaciął się w podajniku"},
        {SANE_STATUS_COVER_OPEN, "Pokrywa skanera jest otwarta"},
        {SANE_STATUS_DEVICE_BUSY, "Skaner jest zajęty"},
        {SANE_STATUS_IO_ERROR, "Utracono połączenie ze skanerem"},
        {SANE_STATUS_NO_DOCS, "Podajnik dokumentów skanera jest pusty"},
        {SANE_STATUS_ACCESS_DENIED, "Brak dostępu do skanera"},
        {SANE_STATUS_NO_MEM, "Zabrakło pamięci"},
        {SANE_STATUS_INVAL, "odrzucił ustawienia"},
        {SANE_STATUS_UNSUPPORTED, "nie obsługuje"},
        {SANE_STATUS_CANCELLED, "przerwane"},
        {SANE_STATUS_EOF, "nie przesłał obrazu"},
        {12, "nagrzewa"},
        {13, "zablokowany na czas transportu"},
        {99, "Błąd skanera (kod 99)."},
    };
    for (const auto& c : cases) EXPECT_NE(ScannerStatusMessage(c.Status).find(c.Says), std::string::npos) << c.Status;
    EXPECT_EQ(ScannerStatusMessage(SANE_STATUS_GOOD), "");
}

TEST(ScannerMessages, PageCountsTakeTheirPolishForm) {
    const std::pair<int, const char*> cases[] = {
        {0, "0 stron"},      {1, "1 stronę"},    {2, "2 strony"},      {4, "4 strony"},       {5, "5 stron"},
        {11, "11 stron"},    {12, "12 stron"},   {14, "14 stron"},     {21, "21 stron"},      {22, "22 strony"},
        {104, "104 strony"}, {112, "112 stron"}, {1000, "1000 stron"}, {1002, "1002 strony"},
    };
    for (const auto& [count, text] : cases) EXPECT_EQ(PagesText(count), text);
}
