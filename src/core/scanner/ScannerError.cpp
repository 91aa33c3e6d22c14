#include "core/scanner/ScannerError.h"

#include <sane/sane.h>

namespace quorlen {

namespace {
// Defined by newer SANE headers only behind a guard; the numbers are fixed.
constexpr int kWarmingUp = 12;
constexpr int kHardwareLocked = 13;
}  // namespace

std::string ScannerStatusMessage(int status) {
    switch (status) {
        case SANE_STATUS_GOOD:
            return std::string();
        case SANE_STATUS_UNSUPPORTED:
            return "Skaner nie obsługuje tej operacji.";
        case SANE_STATUS_CANCELLED:
            return "Skanowanie zostało przerwane.";
        case SANE_STATUS_DEVICE_BUSY:
            return "Skaner jest zajęty (używa go inny program albo jeszcze kończy poprzednie zadanie). Spróbuj "
                   "ponownie za chwilę.";
        case SANE_STATUS_INVAL:
            return "Skaner odrzucił ustawienia skanowania.";
        case SANE_STATUS_EOF:
            return "Skaner nie przesłał obrazu.";
        case SANE_STATUS_JAMMED:
            return "Papier zaciął się w podajniku skanera. Usuń zaciętą kartkę i zeskanuj ją ponownie.";
        case SANE_STATUS_NO_DOCS:
            return "Podajnik dokumentów skanera jest pusty. Włóż arkusze i spróbuj ponownie.";
        case SANE_STATUS_COVER_OPEN:
            return "Pokrywa skanera jest otwarta. Zamknij ją i spróbuj ponownie.";
        case SANE_STATUS_IO_ERROR:
            return "Utracono połączenie ze skanerem (błąd wejścia/wyjścia). Sprawdź kabel i zasilanie skanera.";
        case SANE_STATUS_NO_MEM:
            return "Zabrakło pamięci podczas skanowania.";
        case SANE_STATUS_ACCESS_DENIED:
            return "Brak dostępu do skanera: system nie pozwala temu użytkownikowi z niego korzystać.";
        case kWarmingUp:
            return "Lampa skanera jeszcze się nagrzewa. Spróbuj ponownie za chwilę.";
        case kHardwareLocked:
            return "Mechanizm skanera jest zablokowany na czas transportu. Odblokuj go i spróbuj ponownie.";
        default:
            return "Błąd skanera (kod " + std::to_string(status) + ").";
    }
}

std::string PagesText(int count) {
    const int lastTwo = count % 100;
    const int last = count % 10;
    const char* word = "stron";
    if (count == 1)
        word = "stronę";
    else if (last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14))
        word = "strony";
    return std::to_string(count) + " " + word;
}

}  // namespace quorlen
