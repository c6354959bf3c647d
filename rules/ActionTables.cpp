#include "rules/ActionTables.h"

#include "schema/JobSchema.h"

namespace qv::actions {

int ShowCommandForWindowState(const std::string& windowState) {
    if (windowState == schema::kStandard) return 5;   // SW_SHOW
    if (windowState == schema::kVersteckt) return 0;  // SW_HIDE
    if (windowState == schema::kMaximiert) return 3;  // SW_SHOWMAXIMIZED
    if (windowState == schema::kMinimiert) return 6;  // SW_MINIMIZE
    return 10;                                        // SW_SHOWDEFAULT
}

std::string ShellResultText(std::int32_t value) {
    switch (value) {
        case 0: return "Kein Speicher oder Resourcen mehr";
        case 2: return "Datei nicht gefunden";       // SE_ERR_FNF
        case 3: return "Pfad nicht gefunden";        // SE_ERR_PNF
        case 11: return "Fehlerhafte Datei";         // ERROR_BAD_FORMAT
        case 5: return "Zugriff verweigert";         // SE_ERR_ACCESSDENIED
        case 27: return "Verkn\xfcpfung fehlerhaft"; // SE_ERR_ASSOCINCOMPLETE
        case 30: return "DDE Fehler";                // SE_ERR_DDEBUSY
        case 29: return "DDE Transaktionsfehler";    // SE_ERR_DDEFAIL
        case 28: return "DDE Timeout";               // SE_ERR_DDETIMEOUT
        case 32: return "DLL nicht gefunden";        // SE_ERR_DLLNOTFOUND
        case 31: return "Keine Verkn\xfcpfung";      // SE_ERR_NOASSOC
        case 8: return "Zu wenig Speicher";          // SE_ERR_OOM
        case 26: return "Datei bereits benutzt";     // SE_ERR_SHARE
        default: break;
    }
    // The shell succeeds with a value above 32 (a handle-sized value, so one
    // that reads negative is above 32 too); every other value is a failure.
    if (value >= 0 && value <= 32) return "Unbekannter Shell-Fehler " + std::to_string(value);
    return kOK;
}

std::string RefusedShellInput(const std::string& pfad, const std::string& paramter) {
    if (pfad.size() > kMaxShellText) return "Pfad \xfc" "ber " + std::to_string(kMaxShellText) + " Zeichen";
    if (paramter.size() > kMaxShellText)
        return "Parameter \xfc" "ber " + std::to_string(kMaxShellText) + " Zeichen";
    return std::string();
}

std::optional<ShutdownArgs> ShutdownOperation(const std::string& pfad) {
    if (pfad == schema::kHerunterfahren) return ShutdownArgs{false, false, true};
    if (pfad == schema::kHerunterfahrenHart) return ShutdownArgs{false, true, true};
    if (pfad == schema::kNeustart) return ShutdownArgs{true, false, false};
    if (pfad == schema::kNeustartHart) return ShutdownArgs{true, true, false};
    return std::nullopt;
}

unsigned ShutdownFlags(bool Reboot, bool Force, bool PowerOff) {
    unsigned flags = 0;
    if (Force) flags += kEwxForce;
    flags += Reboot ? kEwxReboot : kEwxShutdown;
    if (PowerOff && !Reboot) flags += kEwxPowerOff;
    return flags;
}

std::string MapiResultText(unsigned long code) {
    switch (code) {
        case 0: return kOK;
        case 1: return "Benutzer hat Senden abgebrochen oder MAPI nicht installiert.";
        case 2: return "Unbekannter Fehler.";
        case 3: return "Benutzerlogin (z.B. bei Outlook) fehlgeschlagen.";
        case 5: return "Nicht genug Speicher.";
        case 9: return "Zu viele Dateien zum Anh\xe4ngen.";
        case 10: return "Zu viele Empf\xe4nger angegeben.";
        case 11: return "Datei zum Anh\xe4ngen nicht gefunden";
        case 12: return "Datei zum Anh\xe4ngen konnte nicht ge\xf6" "ffnet werden.";
        case 14:
            return "Empf\xe4nger nicht in Adressbuch gefunden. (Nur m\xf6glich, wenn Emailadresse "
                   "nicht angegeben.)";
        case 15: return "Empf\xe4ngertyp nicht MAPI_TO, MAPI_CC oder MAPI_BCC.";
        case 18: return "Text zu gro\xdf.";
        case 21:
            return "Empf\xe4nger nicht eindeutig. (Nur m\xf6glich, wenn Emailadresse nicht "
                   "angegeben.)";
        default: return std::string();
    }
}

std::string ErrorMailBody(const std::string& computerName, const std::string& pfad,
                          const std::string& resultText) {
    static const char kSep[] = "\n\r";  // LF then CR, in this order
    return "Computer : " + computerName + kSep + "Fehlerpfad : " + pfad + kSep +
           "Fehlermeldung : " + resultText;
}

bool ShouldSendErrorMail(const std::string& mailAddress, bool firstErrorOnly,
                         bool errorIndicatorLit) {
    if (mailAddress.empty()) return false;
    return !(firstErrorOnly && errorIndicatorLit);
}

}  // namespace qv::actions
