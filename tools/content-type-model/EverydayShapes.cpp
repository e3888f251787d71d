#include "EverydayShapes.h"

#include "TrainingRandom.h"

#include <algorithm>
#include <cctype>
#include <sstream>

using namespace TrainingRandom;

namespace {

bool validUtf8(const std::string &text)
{
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80 ? 1
            : (lead >> 5) == 0x6          ? 2
            : (lead >> 4) == 0xE          ? 3
            : (lead >> 3) == 0x1E         ? 4
                                          : 0;
        if (length == 0 || i + length > text.size())
            return false;
        for (size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += length;
    }
    return true;
}

// Word lists are UTF-8 or, some older ones, Latin-1.
std::string asUtf8(const std::string &text)
{
    if (validUtf8(text))
        return text;
    std::string out;
    for (const char c : text)
        out += static_cast<unsigned char>(c) < 0x80 ? std::string(1, c) : utf8(static_cast<unsigned char>(c));
    return out;
}

bool isWordByte(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return std::isalpha(byte) || byte >= 0x80;
}

std::string capital(std::string text)
{
    if (!text.empty())
        text[0] = char(std::toupper(static_cast<unsigned char>(text[0])));
    return text;
}

std::string upper(std::string text)
{
    for (char &c : text)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string joined(const std::vector<std::string> &lines, const std::string &separator = "\n")
{
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i)
        out += (i ? separator : std::string()) + lines[i];
    return out;
}

std::string hex(size_t count, std::mt19937_64 &random)
{
    return drawn("0123456789abcdef", count, random);
}

std::string ipAddress(std::mt19937_64 &random)
{
    if (chance(8, random))
        return "2001:db8:" + hex(4, random) + "::" + hex(size_t(number(1, 4, random)), random);
    std::string out = std::to_string(pick({ 10, 172, 192, 81, 93, 145, 203, 66 }, random));
    for (int i = 0; i < 3; ++i)
        out += "." + std::to_string(number(0, 255, random));
    return out;
}

// A moment of a log: a date and a second of the day that only moves forward.
struct LogClock
{
    int year, month, day, second;
    explicit LogClock(std::mt19937_64 &random)
        : year(number(2015, 2026, random))
        , month(number(1, 12, random))
        , day(number(1, 28, random))
        , second(number(0, 86399, random))
    { }
    void tick(std::mt19937_64 &random) { second = (second + number(0, 90, random)) % 86400; }
    std::string time() const
    {
        return twoDigits(second / 3600) + ":" + twoDigits(second / 60 % 60) + ":" + twoDigits(second % 60);
    }
    std::string isoDate() const
    {
        return std::to_string(year) + "-" + twoDigits(month) + "-" + twoDigits(day);
    }
    std::string shortMonth() const
    {
        static const char *const months[]
            = { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };
        return months[month - 1];
    }
};

const char *const logLevels[] = { "INFO", "INFO", "INFO", "DEBUG", "WARN", "WARNING", "ERROR", "NOTICE",
    "TRACE", "FATAL", "info", "warn", "error" };

} // namespace

EverydayShapes::EverydayShapes(
    const std::string &wordList, double testShare, const std::function<bool(const std::string &)> &isHeldOut)
    : m_testShare(testShare)
{
    std::istringstream in(asUtf8(wordList));
    for (std::string word; std::getline(in, word);) {
        if (!word.empty() && word.back() == '\r')
            word.pop_back();
        if (word.size() < 3 || word.size() > 16 || !std::all_of(word.begin(), word.end(), isWordByte))
            continue;
        const bool side = isHeldOut(word);
        (std::isupper(static_cast<unsigned char>(word[0])) ? m_names : m_words)[side].push_back(word);
    }
    // A language that writes its nouns with a capital (German) has few words of the other kind.
    for (int side = 0; side < 2; ++side) {
        if (m_words[side].size() < 100)
            m_words[side].insert(m_words[side].end(), m_names[side].begin(), m_names[side].end());
        if (m_names[side].size() < 100)
            for (const std::string &w : m_words[side])
                m_names[side].push_back(capital(w));
    }
}

bool EverydayShapes::empty() const
{
    return m_words[0].empty() || m_words[1].empty() || m_names[0].empty() || m_names[1].empty();
}

std::pair<std::string, std::string> EverydayShapes::make(std::mt19937_64 &random)
{
    m_side = std::bernoulli_distribution(m_testShare)(random);
    const std::string anchor = word(random);
    std::string text;
    switch (number(0, 19, random)) {
    case 0:
    case 1:
    case 2:
        text = list(random);
        break;
    case 3:
    case 4:
        text = checklist(random);
        break;
    case 5:
        text = tasks(random);
        break;
    case 6:
    case 7:
        text = webServerLog(random);
        break;
    case 8:
        text = systemLog(random);
        break;
    case 9:
        text = applicationLog(random);
        break;
    case 10:
    case 11:
    case 12:
        text = paths(random);
        break;
    case 13:
    case 14:
        text = identifiers(random);
        break;
    case 15:
        text = chat(random);
        break;
    case 16:
        text = note(random);
        break;
    case 17:
        text = receipt(random);
        break;
    case 18:
        text = recipe(random);
        break;
    default:
        text = addressBlock(random);
        break;
    }
    return { text, anchor };
}

std::string EverydayShapes::word(std::mt19937_64 &random) const
{
    return pickFrom(m_words[m_side], random);
}

std::string EverydayShapes::name(std::mt19937_64 &random) const
{
    return pickFrom(m_names[m_side], random);
}

std::string EverydayShapes::phrase(int words, std::mt19937_64 &random) const
{
    std::string text = word(random);
    for (int i = 1; i < words; ++i)
        text += " " + word(random);
    return text;
}

// A thing on a list: one to three words, with a quantity, a price or a remark now and then.
std::string EverydayShapes::item(std::mt19937_64 &random) const
{
    static const char *const units[] = { "g", "kg", "ml", "l", "lb", "oz", "pack", "packs", "bottles", "tins",
        "cans", "bags", "jars", "boxes", "bunch", "dozen", "pcs", "Stk", "cups", "slices", "rolls" };
    static const char *const remarks[] = { " (big)", " (small one)", " (2 for 1)", " !", " !!", " ?",
        " (ask)", " - cheap one", " for Sunday", " (organic)", " if any left", " <--", " (not light)" };
    std::string thing = phrase(chance(75, random) ? 1 : number(2, 3, random), random);
    const std::string n
        = std::to_string(chance(80, random) ? number(1, 12, random) : number(13, 1000, random));
    switch (number(0, 15, random)) {
    case 0:
        thing = n + " x " + thing;
        break;
    case 1:
        thing = n + "x " + thing;
        break;
    case 2:
        thing += " x" + n;
        break;
    case 3:
        thing = n + " " + thing;
        break;
    case 4:
        thing = n + pick(units, random) + " " + thing;
        break;
    case 5:
        thing = n + " " + pick(units, random) + " " + thing;
        break;
    case 6:
        thing += " (" + n + ")";
        break;
    case 7:
        thing += (chance(50, random) ? " - " : ": ") + n;
        break;
    case 8:
        thing += " " + std::to_string(number(0, 19, random)) + (chance(50, random) ? "." : ",")
            + twoDigits(number(0, 99, random));
        break;
    default:
        break;
    }
    if (chance(6, random))
        thing += pick(remarks, random);
    return thing;
}

// Lists as people keep them: one item a line (bare, bulleted, numbered), several a line, or
// all on one line; with a heading, in sections, in capitals.
std::string EverydayShapes::list(std::mt19937_64 &random) const
{
    // Dashes and asterisks are the bullets typed most, and they open lines of patches and old
    // Fortran too: they come more often.
    static const char *const bullets[] = { "- ", "- ", "- ", "* ", "* ", "* ", "\xE2\x80\xA2 ", "+ ",
        "\xE2\x80\x93 ", "\xC2\xB7 ", "> ", "\xE2\x96\xAA ", "o ", "-" };
    static const char *const numbering[] = { ". ", ") ", " - ", ".", " " };
    static const char *const separators[] = { ", ", " / ", "; ", " - ", " + ", " | ", ",", " \xC2\xB7 " };
    const int count = number(2, 15, random);
    const int style = number(0, 9, random);
    const bool capitals = chance(15, random);
    const bool capitalised = chance(35, random);
    const std::string bullet = pick(bullets, random);
    const std::string dot = pick(numbering, random);
    std::vector<std::string> lines;
    for (int i = 0; i < count; ++i) {
        std::string thing = item(random);
        thing = capitals ? upper(thing) : capitalised ? capital(thing) : thing;
        if (style <= 3)
            lines.push_back(thing);
        else if (style <= 5)
            lines.push_back(bullet + thing);
        else if (style <= 7)
            lines.push_back(std::to_string(i + 1) + dot + thing);
        else
            lines.push_back(thing);
    }
    std::string text;
    if (style == 9)
        text = joined(lines, pick(separators, random));
    else
        text = joined(lines);
    if (chance(35, random)) {
        std::string heading = chance(50, random) ? capital(word(random)) : name(random);
        heading += pick({ ":", "", ":", " list", "!" }, random);
        text = heading + (chance(30, random) ? "\n\n" : "\n") + text;
    }
    if (chance(12, random))
        text += "\n\n" + capital(word(random)) + ":\n" + bullet + item(random) + "\n" + bullet + item(random);
    return text;
}

// Check-box lists: open and ticked boxes in the shapes of notes apps, Markdown and plain text.
std::string EverydayShapes::checklist(std::mt19937_64 &random) const
{
    static const std::pair<const char *, const char *> boxes[]
        = { { "[ ] ", "[x] " }, { "[ ] ", "[X] " }, { "- [ ] ", "- [x] " }, { "* [ ] ", "* [x] " },
              { "\xE2\x98\x90 ", "\xE2\x98\x91 " }, { "\xE2\x98\x90 ", "\xE2\x98\x92 " }, { "( ) ", "(x) " },
              { "[] ", "[x] " }, { "[ ]", "[x]" }, { "\xE2\x98\x90 ", "\xE2\x9C\x94 " },
              { "\xE2\x97\xBB ", "\xE2\x9C\x85 " }, { "[ ] ", "[\xE2\x9C\x93] " }, { "o ", "\xE2\x9C\x93 " },
              { "\xE2\x9D\x8C ", "\xE2\x9C\x85 " }, { "[_] ", "[v] " }, { "[ ] ", "[*] " } };
    const auto &[open, done] = pick(boxes, random);
    const int count = number(2, 12, random);
    const bool capitalised = chance(40, random);
    std::vector<std::string> lines;
    if (chance(30, random))
        lines.push_back(capital(phrase(number(1, 3, random), random)) + (chance(50, random) ? ":" : ""));
    for (int i = 0; i < count; ++i) {
        const std::string thing = chance(60, random) ? item(random) : phrase(number(1, 4, random), random);
        lines.push_back((chance(40, random) ? done : open) + (capitalised ? capital(thing) : thing));
    }
    return joined(lines);
}

// To-do lists: things to do, with times, days, dates, tags and marks of urgency.
std::string EverydayShapes::tasks(std::mt19937_64 &random) const
{
    static const char *const verbs[] = { "call", "buy", "book", "pay", "email", "fix", "send", "clean",
        "renew", "order", "return", "check", "pick up", "drop off", "cancel", "print", "sign", "text", "ask",
        "finish", "write", "update", "sort", "wash", "bring", "collect", "post", "visit", "repair", "plan" };
    static const char *const tails[] = { "", "", "", " !!", " (urgent)", " by Friday", " @home", " @work",
        " #errands", " - done", " \xE2\x9C\x94", " (waiting)", " tomorrow", " before 5", " asap" };
    static const char *const days[] = { "Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun", "Monday", "Friday" };
    const int count = number(2, 9, random);
    const int style = number(0, 5, random);
    std::vector<std::string> lines;
    if (chance(50, random))
        lines.push_back(pick({ "To do", "TODO", "To do:", "Today", "This week:", "Tasks", "todo" }, random));
    for (int i = 0; i < count; ++i) {
        std::string task = pick(verbs, random);
        task += " " + phrase(number(1, 3, random), random);
        task += pick(tails, random);
        if (style == 1)
            task = std::to_string(i + 1) + ". " + task;
        else if (style == 2)
            task = std::to_string(number(6, 20, random)) + ":" + twoDigits(number(0, 3, random) * 15) + " "
                + task;
        else if (style == 3)
            task = std::string(pick(days, random)) + ": " + task;
        else if (style == 4)
            task = pick({ "- ", "* ", "TODO ", "todo: " }, random) + task;
        lines.push_back(chance(40, random) ? capital(task) : task);
    }
    return joined(lines);
}

std::string EverydayShapes::logMessage(std::mt19937_64 &random) const
{
    static const char *const openings[] = { "started", "stopped", "failed to load", "connection to",
        "timeout while", "cannot open", "user", "request for", "retrying", "received", "sent", "updated",
        "deleted", "skipping", "finished", "unable to reach", "listening on", "accepted", "rejected", "job" };
    std::string message = pick(openings, random);
    message += " " + phrase(number(1, 4, random), random);
    switch (number(0, 5, random)) {
    case 0:
        message += " after " + std::to_string(number(1, 120, random)) + " s";
        break;
    case 1:
        message += " (" + std::to_string(number(1, 99999, random)) + " bytes)";
        break;
    case 2:
        message += " from " + ipAddress(random);
        break;
    case 3:
        message += ": " + word(random) + " " + std::to_string(number(1, 9999, random));
        break;
    default:
        break;
    }
    return message;
}

// Access and error logs of web servers: a line or a few, as they are copied from a terminal.
std::string EverydayShapes::webServerLog(std::mt19937_64 &random) const
{
    static const char *const methods[] = { "GET", "GET", "GET", "POST", "HEAD", "PUT", "DELETE", "OPTIONS" };
    static const char *const agents[] = { "Mozilla/5.0 (Windows NT 10.0; Win64; x64)", "curl/7.88.1", "-",
        "Mozilla/5.0 (X11; Ubuntu; Linux x86_64; rv:109.0) Gecko/20100101 Firefox/115.0", "okhttp/4.9.2",
        "Mozilla/5.0 (Linux; Android 13; Pixel 7) AppleWebKit/537.36", "Go-http-client/1.1",
        "Apache-HttpClient/4.5" };
    LogClock clock(random);
    const int lines = chance(55, random) ? 1 : number(2, 8, random);
    const int format = number(0, 4, random);
    std::vector<std::string> out;
    for (int i = 0; i < lines; ++i) {
        clock.tick(random);
        std::string path = "/" + word(random);
        if (chance(50, random))
            path += "/" + word(random)
                + pick({ ".html", ".php", ".png", ".js", "", "/", ".css", "?id=12" }, random);
        const std::string status
            = std::to_string(pick({ 200, 200, 200, 301, 302, 304, 403, 404, 500, 502 }, random));
        std::string line;
        if (format <= 1) {
            line = ipAddress(random) + " - - [" + twoDigits(clock.day) + "/" + clock.shortMonth() + "/"
                + std::to_string(clock.year) + ":" + clock.time() + " +0000] \"" + pick(methods, random) + " "
                + path + " HTTP/1.1\" " + status + " " + std::to_string(number(0, 60000, random));
            if (format == 1)
                line += std::string(" \"-\" \"") + pick(agents, random) + "\"";
        } else if (format == 2) {
            line = clock.isoDate() + " " + clock.time() + " ["
                + pick({ "error", "warn", "crit", "notice" }, random) + "] "
                + std::to_string(number(100, 9999, random)) + "#0: *"
                + std::to_string(number(1, 99999, random)) + " " + logMessage(random)
                + ", client: " + ipAddress(random) + ", request: \"GET " + path + "\"";
        } else if (format == 3) {
            line = "[" + clock.shortMonth() + " " + twoDigits(clock.day) + " " + clock.time() + " "
                + std::to_string(clock.year) + "] [" + pick({ "error", "warn", "notice" }, random)
                + "] [client " + ipAddress(random) + "] " + logMessage(random);
        } else {
            line = clock.isoDate() + " " + clock.time() + " " + ipAddress(random) + " "
                + pick(methods, random) + " " + path + " - 80 - " + ipAddress(random) + " " + status + " 0 0 "
                + std::to_string(number(1, 900, random));
        }
        out.push_back(line);
    }
    return joined(out);
}

// Syslog, kernel and journal lines.
std::string EverydayShapes::systemLog(std::mt19937_64 &random) const
{
    static const char *const daemons[]
        = { "sshd", "CRON", "systemd", "kernel", "dhclient", "NetworkManager", "postfix/smtpd", "dbus-daemon",
              "avahi-daemon", "smartd", "named", "dovecot", "sudo", "gdm-password" };
    LogClock clock(random);
    const std::string host
        = chance(50, random) ? word(random) : word(random) + "-" + std::to_string(number(1, 40, random));
    const int lines = chance(50, random) ? 1 : number(2, 7, random);
    const bool journal = chance(25, random);
    std::vector<std::string> out;
    for (int i = 0; i < lines; ++i) {
        clock.tick(random);
        const std::string daemon = pick(daemons, random);
        std::string line = journal ? clock.isoDate() + "T" + clock.time() + "+0100 "
                                   : clock.shortMonth() + (clock.day < 10 ? "  " : " ")
                + std::to_string(clock.day) + " " + clock.time() + " ";
        line += host + " " + daemon;
        if (daemon == "kernel")
            line += ": [" + std::to_string(number(0, 99999, random)) + "." + digits(6, random) + "]";
        else
            line += "[" + std::to_string(number(1, 65000, random)) + "]:";
        line += " " + (chance(50, random) ? capital(logMessage(random)) : logMessage(random));
        out.push_back(line);
    }
    return joined(out);
}

// Application logs in the layouts of common logging libraries.
std::string EverydayShapes::applicationLog(std::mt19937_64 &random) const
{
    LogClock clock(random);
    const int lines = chance(45, random) ? 1 : number(2, 8, random);
    const int format = number(0, 5, random);
    const std::string component
        = capital(word(random)) + pick({ "Service", "", "Controller", "Job", "Manager" }, random);
    std::vector<std::string> out;
    for (int i = 0; i < lines; ++i) {
        clock.tick(random);
        const std::string level = pick(logLevels, random);
        const std::string millis = digits(3, random);
        std::string line;
        if (format == 0)
            line = clock.isoDate() + " " + clock.time() + "," + millis + " " + level + " [" + word(random)
                + "] " + component + " - " + logMessage(random);
        else if (format == 1)
            line = "[" + clock.isoDate() + "T" + clock.time() + "." + millis + "Z] " + level + ": "
                + logMessage(random);
        else if (format == 2)
            line = level + ":" + word(random) + ":" + logMessage(random);
        else if (format == 3)
            line = twoDigits(clock.month) + "-" + twoDigits(clock.day) + " " + clock.time() + "." + millis
                + " " + std::to_string(number(100, 30000, random)) + " "
                + std::to_string(number(100, 30000, random)) + " " + level.substr(0, 1) + " " + component
                + ": " + logMessage(random);
        else if (format == 4)
            line = word(random) + "_1  | " + clock.time() + " " + level + " " + logMessage(random);
        else
            line = clock.time() + " [" + level + "] " + component + ": " + capital(logMessage(random));
        out.push_back(line);
    }
    return joined(out);
}

std::string EverydayShapes::fileName(std::mt19937_64 &random) const
{
    static const char *const extensions[]
        = { ".pdf", ".docx", ".xlsx", ".jpg", ".JPG", ".png", ".txt", ".zip", ".mp3", ".mp4", ".pptx", ".odt",
              ".heic", ".mov", ".csv", ".exe", ".iso", ".epub", ".wav", ".pages" };
    std::string file = chance(50, random) ? capital(word(random)) : word(random);
    switch (number(0, 5, random)) {
    case 0:
        file += " " + word(random);
        break;
    case 1:
        file += "_" + std::to_string(number(2000, 2026, random)) + "-" + twoDigits(number(1, 12, random));
        break;
    case 2:
        file = pick({ "IMG_", "DSC", "Scan ", "Screenshot ", "VID_" }, random) + digits(4, random);
        break;
    case 3:
        file += " (" + std::to_string(number(1, 9, random)) + ")";
        break;
    default:
        break;
    }
    return file + pick(extensions, random);
}

// A path of Windows: on a drive, under a folder named by a variable of the environment, or a
// key of the registry.
std::string EverydayShapes::windowsPath(std::mt19937_64 &random) const
{
    static const char *const roots[]
        = { "Users", "Users", "Users", "Program Files", "ProgramData", "Program Files (x86)", "Windows", "" };
    static const char *const variables[] = { "%USERPROFILE%", "%APPDATA%", "%LOCALAPPDATA%", "%TEMP%",
        "%ProgramFiles%", "%SystemRoot%", "%HOMEPATH%", "%ProgramData%", "%OneDrive%", "%WINDIR%" };
    static const char *const hives[] = { "HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKEY_CLASSES_ROOT",
        "HKLM", "HKCU", "Computer\\HKEY_LOCAL_MACHINE", "Computer\\HKEY_CURRENT_USER" };
    std::string path;
    if (chance(12, random)) {
        path = pick(hives, random);
        path += pick({ "\\SOFTWARE\\", "\\Software\\", "\\SYSTEM\\CurrentControlSet\\", "\\" }, random);
        for (int i = number(1, 4, random); i > 0; --i)
            path += capital(word(random)) + (i > 1 ? "\\" : "");
        return path;
    }
    if (chance(15, random)) {
        path = pick(variables, random);
        for (int i = number(1, 3, random); i > 0; --i)
            path += "\\" + capital(word(random));
        return chance(60, random) ? path + "\\" + fileName(random) : path;
    }
    path = std::string(1, char('C' + (chance(70, random) ? 0 : number(1, 6, random)))) + ":";
    const std::string root = pick(roots, random);
    path += root.empty() ? root : "\\" + root;
    if (root == "Users") {
        path += "\\" + (chance(50, random) ? name(random) : word(random));
        path += pick({ "\\Documents", "\\Downloads", "\\Desktop", "\\Pictures", "\\AppData\\Local",
                         "\\AppData\\Roaming", "\\OneDrive", "\\Music", "\\Videos", "" },
            random);
    }
    for (int i = number(0, 3, random); i > 0; --i)
        path += "\\" + (chance(60, random) ? capital(word(random)) : phrase(2, random));
    if (chance(70, random))
        path += "\\" + fileName(random);
    return path.size() == 2 ? path + "\\" : path;
}

std::string EverydayShapes::uncPath(std::mt19937_64 &random) const
{
    std::string server = word(random);
    if (chance(30, random))
        server = ipAddress(random);
    else if (chance(30, random))
        server = upper(server.substr(0, 6)) + twoDigits(number(1, 20, random));
    std::string path
        = "\\\\" + server + "\\" + (chance(70, random) ? capital(word(random)) : word(random) + "$");
    for (int i = number(0, 3, random); i > 0; --i)
        path += "\\" + (chance(60, random) ? capital(word(random)) : phrase(2, random));
    if (chance(65, random))
        path += "\\" + fileName(random);
    return path;
}

std::string EverydayShapes::macPath(std::mt19937_64 &random) const
{
    std::string path;
    switch (number(0, 4, random)) {
    case 0:
        path = "/Volumes/" + capital(word(random)) + (chance(50, random) ? " " + capital(word(random)) : "");
        break;
    case 1:
        path = "~/Library/"
            + std::string(
                pick({ "Application Support/", "Preferences/", "Caches/", "Mobile Documents/" }, random))
            + capital(word(random));
        break;
    case 2:
        path = "/Applications/" + capital(word(random)) + ".app/Contents/"
            + pick({ "MacOS", "Resources", "Info.plist" }, random);
        return path;
    default:
        path = (chance(50, random) ? "/Users/" + word(random) : std::string("~"))
            + pick({ "/Desktop", "/Documents", "/Downloads", "/Pictures", "/Movies", "/iCloud Drive", "" },
                random);
        break;
    }
    for (int i = number(0, 2, random); i > 0; --i)
        path += "/" + (chance(60, random) ? capital(word(random)) : phrase(2, random));
    if (chance(70, random))
        path += "/" + fileName(random);
    return path;
}

std::string EverydayShapes::unixPath(std::mt19937_64 &random) const
{
    static const char *const roots[] = { "/home/", "/home/", "~/", "/mnt/", "/media/", "/srv/", "/var/log/",
        "/etc/", "/opt/", "/usr/share/", "/tmp/", "/data/", "/run/media/" };
    std::string path = pick(roots, random);
    path += word(random);
    for (int i = number(0, 3, random); i > 0; --i)
        path += "/" + (chance(70, random) ? word(random) : capital(word(random)));
    if (chance(70, random))
        path += "/"
            + (chance(50, random) ? fileName(random)
                                  : word(random) + pick({ ".log", ".conf", ".txt", ".gz", "" }, random));
    return path;
}

// Paths of every desktop: one or a few, bare, quoted or in a short sentence.
std::string EverydayShapes::paths(std::mt19937_64 &random) const
{
    const int kind = number(0, 3, random);
    const int count = chance(70, random) ? 1 : number(2, 5, random);
    std::vector<std::string> lines;
    for (int i = 0; i < count; ++i) {
        std::string path = kind == 0 ? windowsPath(random)
            : kind == 1              ? uncPath(random)
            : kind == 2              ? macPath(random)
                                     : unixPath(random);
        if (chance(8, random))
            path = "\"" + path + "\"";
        lines.push_back(path);
    }
    std::string text = joined(lines);
    if (count == 1 && chance(25, random))
        text = capital(phrase(number(1, 3, random), random)) + pick({ ": ", " ", " in ", " at " }, random)
            + text;
    return text;
}

std::string EverydayShapes::identifier(std::mt19937_64 &random) const
{
    const std::string upperAlnum = "ABCDEFGHJKLMNPQRSTUVWXYZ0123456789";
    switch (number(0, 12, random)) {
    case 0:
        return hex(8, random) + "-" + hex(4, random) + "-4" + hex(3, random) + "-" + hex(4, random) + "-"
            + hex(12, random);
    case 1:
        return hex(size_t(pick({ 32, 40, 64, 7, 12 }, random)), random);
    case 2: { // an IBAN, grouped in fours or not
        std::string iban
            = drawn("ABCDEFGHIJKLMNOPQRSTUVWXYZ", 2, random) + digits(size_t(number(16, 28, random)), random);
        std::string grouped;
        for (size_t i = 0; i < iban.size(); i += 4)
            grouped += (i ? " " : "") + iban.substr(i, 4);
        return chance(60, random) ? grouped : iban;
    }
    case 3:
        return "1Z" + drawn(upperAlnum, 16, random);
    case 4:
        return drawn("ABCDEFGHIJKLMNOPQRSTUVWXYZ", 2, random) + digits(9, random)
            + drawn("ABCDEFGHIJKLMNOPQRSTUVWXYZ", 2, random);
    case 5:
        return digits(3, random) + "-" + digits(7, random) + "-" + digits(7, random);
    case 6:
        return drawn(upperAlnum, 5, random) + "-" + drawn(upperAlnum, 5, random) + "-"
            + drawn(upperAlnum, 5, random) + "-" + drawn(upperAlnum, 5, random);
    case 7:
        return hex(2, random) + ":" + hex(2, random) + ":" + hex(2, random) + ":" + hex(2, random) + ":"
            + hex(2, random) + ":" + hex(2, random);
    case 8:
        return ipAddress(random);
    case 9:
        return "#" + digits(size_t(number(4, 10, random)), random);
    case 10:
        return drawn(upperAlnum, size_t(number(6, 8, random)), random);
    case 11: { // an error code as programs show it: ERR_NAME_NOT_RESOLVED, 0x80070005
        if (chance(40, random))
            return pick({ "0x8007", "0x800F", "0xC000", "0x8004" }, random) + upper(hex(4, random));
        std::string code = pick({ "ERR_", "E_", "STATUS_", "ERROR_", "" }, random);
        for (int i = number(1, 3, random); i > 0; --i)
            code += upper(word(random)) + (i > 1 ? "_" : "");
        return code;
    }
    default:
        return digits(4, random) + " " + digits(4, random) + " " + digits(4, random) + " " + digits(4, random)
            + (chance(50, random) ? " " + digits(4, random) + " " + digits(2, random) : "");
    }
}

// Ids: bare, labelled, several labelled lines, or in a sentence.
std::string EverydayShapes::identifiers(std::mt19937_64 &random) const
{
    const int count = chance(70, random) ? 1 : number(2, 5, random);
    std::vector<std::string> lines;
    for (int i = 0; i < count; ++i) {
        std::string id = identifier(random);
        if (chance(15, random))
            for (char &c : id)
                c = char(std::toupper(static_cast<unsigned char>(c)));
        if (chance(50, random) || count > 1)
            id = capital(phrase(number(1, 2, random), random))
                + pick({ ": ", " ", " #", " no. ", " - " }, random) + id;
        lines.push_back(id);
    }
    std::string text = joined(lines);
    if (count == 1 && chance(20, random))
        text = "your " + phrase(number(1, 2, random), random) + " is " + text;
    return text;
}

// A note of a number to keep: a lock's code, a seat, a locker, a reading, a time.
std::string EverydayShapes::note(std::mt19937_64 &random) const
{
    std::string text;
    for (int part = chance(75, random) ? 1 : 2; part > 0; --part) {
        text += text.empty() ? "" : pick({ ", ", "; ", " / ", "\n" }, random);
        text += phrase(number(1, 3, random), random) + pick({ " ", ": ", " is ", " - ", " no. " }, random);
        switch (number(0, 5, random)) {
        case 0: // a code of single digits: 3-7-1-9, 4 8 2 1
            text += digits(1, random);
            for (int i = number(2, 5, random); i > 0; --i)
                text += pick({ "-", " ", ".", "" }, random) + digits(1, random);
            break;
        case 1: // a seat or a room: 14C, B22, 4.12
            text += std::to_string(number(1, 60, random)) + drawn("ABCDEFK", 1, random);
            break;
        case 2:
            text += std::to_string(number(1, 40, random)) + pick({ ".", "/", ":", "-" }, random)
                + twoDigits(number(0, 59, random));
            break;
        case 3:
            text += digits(size_t(number(3, 12, random)), random);
            break;
        case 4:
            text += std::to_string(number(1, 99999, random)) + "." + digits(1, random)
                + pick({ " kWh", " m3", " km", "" }, random);
            break;
        default:
            text
                += drawn("ABCDEFGHJKLMNPRSTUVWXYZ", 1, random) + digits(size_t(number(1, 3, random)), random);
            break;
        }
    }
    return chance(30, random) ? capital(text) : text;
}

// Chat lines with numbers and emoji, one or a few messages.
std::string EverydayShapes::chat(std::mt19937_64 &random) const
{
    const int messages = chance(70, random) ? 1 : number(2, 4, random);
    std::vector<std::string> lines;
    for (int m = 0; m < messages; ++m) {
        std::string line = phrase(number(1, 4, random), random);
        if (chance(70, random)) {
            const int kind = number(0, 5, random);
            if (kind == 0) { // a code, a score or a date: 3-7-1-9, 2-1, 12/3
                line += " " + std::to_string(number(0, 9, random)) + pick({ "-", "/", ":", "." }, random);
                line += std::to_string(number(0, 31, random));
                if (chance(50, random))
                    line += "-" + std::to_string(number(0, 9, random)) + "-"
                        + std::to_string(number(0, 9, random));
            } else {
                line += " "
                    + std::to_string(kind == 1 ? number(61, 999999999, random) : number(1, 60, random));
            }
        }
        if (chance(50, random))
            line += " " + phrase(number(1, 3, random), random);
        line += pick({ "", "", "!", "?", "!!", " :)", " lol", "...", " haha" }, random);
        for (int e = chance(65, random) ? number(1, 4, random) : 0; e > 0; --e)
            line += (chance(50, random) ? " " : "") + emoji(random);
        if (chance(15, random))
            line = capital(word(random)) + ": " + line;
        lines.push_back(chance(30, random) ? capital(line) : line);
    }
    return joined(lines);
}

std::string EverydayShapes::receipt(std::mt19937_64 &random) const
{
    const int count = number(2, 9, random);
    std::vector<std::string> lines;
    if (chance(40, random))
        lines.push_back(capital(phrase(number(1, 3, random), random)));
    int cents = 0;
    for (int i = 0; i < count; ++i) {
        const int price = number(20, 4000, random);
        cents += price;
        std::string line = chance(50, random) ? std::to_string(number(1, 4, random)) + "x " : std::string();
        line += capital(phrase(number(1, 2, random), random));
        line += std::string(size_t(number(1, 12, random)), ' ');
        line += std::to_string(price / 100) + pick({ ".", "," }, random) + twoDigits(price % 100);
        lines.push_back(line);
    }
    lines.push_back(std::string(pick({ "Total", "TOTAL", "Sum", "Subtotal", "Gesamt" }, random))
        + pick({ " ", ": ", "  EUR ", " $" }, random) + std::to_string(cents / 100) + "."
        + twoDigits(cents % 100));
    return joined(lines);
}

std::string EverydayShapes::recipe(std::mt19937_64 &random) const
{
    static const char *const units[] = { "g", "kg", "ml", "l", "tbsp", "tsp", "cups", "cup", "pinch of", "EL",
        "TL", "oz", "cloves", "handful of", "1/2", "1/4", "\xC2\xBD" };
    static const char *const verbs[] = { "Mix", "Stir", "Add", "Bake", "Boil", "Chop", "Fry", "Simmer",
        "Whisk", "Season", "Serve", "Heat", "Pour", "Fold in", "Leave" };
    std::vector<std::string> lines;
    if (chance(60, random))
        lines.push_back(capital(phrase(number(1, 3, random), random)));
    for (int i = number(2, 10, random); i > 0; --i)
        lines.push_back(std::to_string(number(1, 500, random)) + " " + pick(units, random) + " "
            + phrase(number(1, 2, random), random));
    if (chance(60, random)) {
        lines.push_back("");
        const bool numbered = chance(50, random);
        for (int i = 1, steps = number(1, 5, random); i <= steps; ++i) {
            std::string step = numbered ? std::to_string(i) + ". " : std::string();
            step += pick(verbs, random);
            step += " the " + phrase(number(1, 2, random), random);
            step += chance(50, random) ? " for " + std::to_string(number(2, 60, random)) + " minutes." : ".";
            lines.push_back(step);
        }
    }
    return joined(lines);
}

std::string EverydayShapes::addressBlock(std::mt19937_64 &random) const
{
    std::vector<std::string> lines;
    lines.push_back(name(random) + " " + name(random));
    if (chance(25, random))
        lines.push_back(
            capital(word(random)) + pick({ " Ltd", " GmbH", " Inc.", " & Co.", " S.A." }, random));
    const std::string street = capital(word(random));
    switch (number(0, 3, random)) {
    case 0:
        lines.push_back(std::to_string(number(1, 999, random)) + " " + street
            + pick({ " Street", " Road", " Ave", " Lane" }, random));
        break;
    case 1:
        lines.push_back(street
            + pick({ "stra\xC3\x9F"
                     "e ",
                       "weg ", "gasse ", "straat " },
                random)
            + std::to_string(number(1, 150, random)));
        break;
    case 2:
        lines.push_back(std::to_string(number(1, 99, random))
            + pick({ ", rue ", ", avenue ", " Via ", " Calle " }, random) + street);
        break;
    default:
        lines.push_back("Flat " + std::to_string(number(1, 40, random)) + ", " + street + " House");
        break;
    }
    lines.push_back(digits(5, random) + " " + name(random));
    if (chance(40, random))
        lines.push_back(capital(word(random)));
    return chance(20, random) ? joined(lines, ", ") : joined(lines);
}
