#include "tools/cmd/interpreter.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <spawn.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace cmdlang {

namespace {

// Thrown only inside the interpreter: a line that cannot be parsed.
struct ParseError {
    std::string reason;
};

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string TrimLeft(const std::string& text) {
    size_t start = 0;
    while (start < text.size() && IsBlank(text[start])) {
        ++start;
    }
    return text.substr(start);
}

std::string Trim(const std::string& text) {
    std::string result = TrimLeft(text);
    while (!result.empty() && IsBlank(result.back())) {
        result.pop_back();
    }
    return result;
}

// ---------------------------------------------------------------- environment

std::optional<std::string> FindVariable(const std::string& name) {
    if (const char* value = std::getenv(name.c_str())) {
        return std::string(value);
    }
    const std::string wanted = Lower(name);
    for (char** entry = environ; entry && *entry; ++entry) {
        const char* equals = std::strchr(*entry, '=');
        if (equals && Lower(std::string(*entry, static_cast<size_t>(equals - *entry))) == wanted) {
            return std::string(equals + 1);
        }
    }
    return std::nullopt;
}

// Variable names are case-insensitive: a new value replaces every spelling of the name.
void SetVariable(const std::string& name, const std::optional<std::string>& value) {
    const std::string wanted = Lower(name);
    std::vector<std::string> spellings;
    for (char** entry = environ; entry && *entry; ++entry) {
        const char* equals = std::strchr(*entry, '=');
        if (equals && Lower(std::string(*entry, static_cast<size_t>(equals - *entry))) == wanted) {
            spellings.emplace_back(*entry, static_cast<size_t>(equals - *entry));
        }
    }
    for (const std::string& spelling : spellings) {
        unsetenv(spelling.c_str());
    }
    if (value) {
        setenv(name.c_str(), value->c_str(), 1);
    }
}

// ---------------------------------------------------------------- wildcards and files

bool HasWildcard(const std::string& text) {
    return text.find_first_of("*?") != std::string::npos;
}

// Windows file names compare without regard to case.
bool WildcardMatch(const char* pattern, const char* name) {
    if (*pattern == '\0') {
        return *name == '\0';
    }
    if (*pattern == '*') {
        for (const char* rest = name;; ++rest) {
            if (WildcardMatch(pattern + 1, rest)) {
                return true;
            }
            if (*rest == '\0') {
                return false;
            }
        }
    }
    if (*name == '\0') {
        return false;
    }
    if (*pattern == '?' || std::tolower(static_cast<unsigned char>(*pattern)) ==
                               std::tolower(static_cast<unsigned char>(*name))) {
        return WildcardMatch(pattern + 1, name + 1);
    }
    return false;
}

void SplitPath(const std::string& path, std::string* directory, std::string* name) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        *directory = "";
        *name = path;
    } else {
        *directory = path.substr(0, slash + 1);
        *name = path.substr(slash + 1);
    }
}

bool StatPath(const std::string& path, struct stat* info) {
    return stat(path.c_str(), info) == 0;
}

bool IsDirectoryPath(const std::string& path) {
    struct stat info {};
    return StatPath(path, &info) && S_ISDIR(info.st_mode);
}

struct Entry {
    std::string name;
    struct timespec modified;
};

// Entries of `directory` (empty: the current one) whose names match `pattern`.
std::vector<Entry> MatchEntries(const std::string& directory, const std::string& pattern,
                                bool filesOnly) {
    std::vector<Entry> entries;
    DIR* dir = opendir(directory.empty() ? "." : directory.c_str());
    if (!dir) {
        return entries;
    }
    while (struct dirent* item = readdir(dir)) {
        const std::string name = item->d_name;
        if (name == "." || name == ".." || !WildcardMatch(pattern.c_str(), name.c_str())) {
            continue;
        }
        struct stat info {};
        if (!StatPath(directory + name, &info) || (filesOnly && !S_ISREG(info.st_mode))) {
            continue;
        }
        entries.push_back({name, info.st_mtim});
    }
    closedir(dir);
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return Lower(a.name) < Lower(b.name); });
    return entries;
}

bool CopyBytes(const std::string& from, std::ofstream& to) {
    std::ifstream source(from, std::ios::binary);
    if (!source) {
        return false;
    }
    char chunk[8192];
    while (source.read(chunk, sizeof chunk) || source.gcount() > 0) {
        to.write(chunk, source.gcount());
    }
    return static_cast<bool>(to) && source.eof();
}

bool IsReadOnlyPath(const std::string& path) {
    struct stat info {};
    return StatPath(path, &info) && (info.st_mode & S_IWUSR) == 0;
}

// ---------------------------------------------------------------- tokens

// Splits at blanks; double quotes group and are removed.
std::vector<std::string> SplitArguments(const std::string& text) {
    std::vector<std::string> arguments;
    std::string current;
    bool inQuotes = false;
    bool any = false;
    for (char c : text) {
        if (c == '"') {
            inQuotes = !inQuotes;
            any = true;
        } else if (IsBlank(c) && !inQuotes) {
            if (any) {
                arguments.push_back(current);
                current.clear();
                any = false;
            }
        } else {
            current += c;
            any = true;
        }
    }
    if (inQuotes) {
        throw ParseError{"unbalanced quotes"};
    }
    if (any) {
        arguments.push_back(current);
    }
    return arguments;
}

// Takes the first word (up to a blank, outside quotes) off `text`.
std::string TakeWord(std::string& text) {
    text = TrimLeft(text);
    size_t end = 0;
    bool inQuotes = false;
    while (end < text.size() && (inQuotes || !IsBlank(text[end]))) {
        if (text[end] == '"') {
            inQuotes = !inQuotes;
        }
        ++end;
    }
    if (inQuotes) {
        throw ParseError{"unbalanced quotes"};
    }
    std::string word = text.substr(0, end);
    text = text.substr(end);
    return word;
}

std::string Unquote(const std::string& word) {
    std::string result;
    for (char c : word) {
        if (c != '"') {
            result += c;
        }
    }
    return result;
}

// ---------------------------------------------------------------- commands

enum class Kind {
    Nothing,
    Echo,
    EchoMode,
    Set,
    Mkdir,
    Cd,
    Del,
    Copy,
    Attrib,
    Goto,
    If,
    For,
    Program,
    Unknown,
};

struct Command {
    Kind kind = Kind::Nothing;
    std::string text;                   // echo text, set value, goto label, program name
    std::string name;                   // set name, for variable
    std::vector<std::string> arguments; // paths, program arguments
    bool flagA = false;                 // del /q, copy /b, attrib +R, if not, echo on
    bool flagB = false;                 // del /s, if /i
    bool flagC = false;                 // del /f
    std::string redirect;               // standard output to this file
    // if: the condition ("exist", "errorlevel" or "compare") and its operands; for: the
    // dir pattern and order. The command that runs when the condition holds, or per line.
    std::string condition;
    std::string left;
    std::string right;
    std::vector<Command> body;
};

// Commands of the Windows interpreter that this one does not run. They are never looked
// up as programs, because a Linux program of the same name does something else.
bool IsUnsupportedInternal(const std::string& name) {
    static const char* const names[] = {
        "assoc", "break", "call",   "cls",    "color",  "date",     "dir",   "endlocal",
        "exit",  "ftype", "mklink", "move",   "path",   "pause",    "popd",  "prompt",
        "pushd", "rd",    "ren",    "rename", "rmdir",  "setlocal", "shift", "start",
        "time",  "title", "type",   "ver",    "verify", "vol",      "choice"};
    for (const char* internal : names) {
        if (name == internal) {
            return true;
        }
    }
    return false;
}

// Finds an unquoted '>' and splits off its target. Only one plain '>' is supported.
std::string SplitRedirect(std::string& text) {
    bool inQuotes = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            inQuotes = !inQuotes;
        } else if (!inQuotes && c == '>') {
            if (i + 1 < text.size() && text[i + 1] == '>') {
                throw ParseError{"'>>' is not supported"};
            }
            if (i > 0 && std::isdigit(static_cast<unsigned char>(text[i - 1])) &&
                (i == 1 || IsBlank(text[i - 2]))) {
                throw ParseError{"redirection of a numbered stream is not supported"};
            }
            std::string target = text.substr(i + 1);
            text = text.substr(0, i);
            std::string word = TakeWord(target);
            if (word.empty()) {
                throw ParseError{"'>' without a file"};
            }
            if (!Trim(target).empty()) {
                throw ParseError{"text after the redirection target"};
            }
            if (word.find('>') != std::string::npos) {
                throw ParseError{"more than one '>'"};
            }
            return Unquote(word);
        }
    }
    return {};
}

void RefuseSpecials(const std::string& text) {
    bool inQuotes = false;
    for (char c : text) {
        if (c == '"') {
            inQuotes = !inQuotes;
        } else if (!inQuotes && std::strchr("&|<^", c)) {
            throw ParseError{std::string("'") + c + "' is not supported"};
        }
    }
}

Command ParseCommand(const std::string& input);

// "if [/i] [not] exist PATH CMD", "if [/i] [not] errorlevel N CMD",
// "if [/i] [not] A==B CMD" (blanks around "==" allowed).
Command ParseIf(std::string rest) {
    Command command;
    command.kind = Kind::If;
    std::string word = TakeWord(rest);
    if (Lower(word) == "/i") {
        command.flagB = true;
        word = TakeWord(rest);
    }
    if (Lower(word) == "not") {
        command.flagA = true;
        word = TakeWord(rest);
    }
    if (word.empty()) {
        throw ParseError{"incomplete if"};
    }
    if (Lower(word) == "exist" || Lower(word) == "errorlevel") {
        command.condition = Lower(word);
        command.left = Unquote(TakeWord(rest));
        if (command.left.empty()) {
            throw ParseError{"incomplete if"};
        }
        if (command.condition == "errorlevel" &&
            command.left.find_first_not_of("0123456789") != std::string::npos) {
            throw ParseError{"errorlevel needs a number"};
        }
    } else {
        command.condition = "compare";
        const size_t equals = word.find("==");
        if (equals != std::string::npos) {
            command.left = word.substr(0, equals);
            command.right = word.substr(equals + 2);
            if (command.right.empty()) {
                command.right = TakeWord(rest);
            }
        } else {
            command.left = word;
            std::string next = TakeWord(rest);
            if (next.compare(0, 2, "==") != 0) {
                throw ParseError{"if without '=='"};
            }
            command.right = next.size() > 2 ? next.substr(2) : TakeWord(rest);
        }
        if (command.left.empty() || command.right.empty()) {
            throw ParseError{"if with an empty operand"};
        }
    }
    rest = TrimLeft(rest);
    if (rest.empty()) {
        throw ParseError{"if without a command"};
    }
    if (rest[0] == '(') {
        throw ParseError{"blocks are not supported"};
    }
    command.body.push_back(ParseCommand(rest));
    return command;
}

// Native paths begin with '/', as switches do: only these spellings are dir's order.
bool IsDirOrder(const std::string& option) {
    static const char* const orders[] = {"/o",   "/od",   "/o-d", "/on",  "/o-n",
                                         "/o:d", "/o:-d", "/o:n", "/o:-n"};
    for (const char* order : orders) {
        if (option == order) {
            return true;
        }
    }
    return false;
}

// for /f ["tokens=*"|"delims="] %X in ('dir PATTERN /B [/O:ORDER]') do CMD
Command ParseFor(std::string rest) {
    Command command;
    command.kind = Kind::For;
    if (Lower(TakeWord(rest)) != "/f") {
        throw ParseError{"only 'for /f' is supported"};
    }
    std::string word = TakeWord(rest);
    if (!word.empty() && word[0] == '"') {
        const std::string options = Lower(Unquote(word));
        if (options != "tokens=*" && options != "delims=") {
            throw ParseError{"for options other than \"tokens=*\" are not supported"};
        }
        word = TakeWord(rest);
    }
    if (word.size() != 2 || word[0] != '%' || !std::isalpha(static_cast<unsigned char>(word[1]))) {
        throw ParseError{"for needs a variable such as %%F"};
    }
    command.name = word;
    if (Lower(TakeWord(rest)) != "in") {
        throw ParseError{"for without 'in'"};
    }
    rest = TrimLeft(rest);
    if (rest.compare(0, 2, "('") != 0) {
        throw ParseError{"for /f needs a command in ('...')"};
    }
    const size_t close = rest.find("')", 2);
    if (close == std::string::npos) {
        throw ParseError{"for /f command without its closing \"')\""};
    }
    std::vector<std::string> listing = SplitArguments(rest.substr(2, close - 2));
    rest = rest.substr(close + 2);
    if (listing.empty() || Lower(listing[0]) != "dir") {
        throw ParseError{"for /f runs only 'dir'"};
    }
    bool bare = false;
    command.right = "n";
    for (size_t i = 1; i < listing.size(); ++i) {
        const std::string option = Lower(listing[i]);
        if (option == "/b") {
            bare = true;
        } else if (IsDirOrder(option)) {
            std::string order = option.substr(2);
            if (!order.empty() && order[0] == ':') {
                order = order.substr(1);
            }
            command.right = order.empty() ? "n" : order;
        } else if (option.size() == 2 && option[0] == '/') {
            throw ParseError{"dir option " + listing[i] + " is not supported"};
        } else if (command.left.empty()) {
            command.left = listing[i];
        } else {
            throw ParseError{"dir with more than one pattern"};
        }
    }
    if (!bare || command.left.empty()) {
        throw ParseError{"for /f needs 'dir PATTERN /B'"};
    }
    if (Lower(TakeWord(rest)) != "do") {
        throw ParseError{"for without 'do'"};
    }
    rest = TrimLeft(rest);
    if (rest.empty() || rest[0] == '(') {
        throw ParseError{"for needs one command after 'do'"};
    }
    command.body.push_back(ParseCommand(rest));
    return command;
}

std::vector<std::string> TakeSwitches(std::vector<std::string>& arguments,
                                      const std::string& allowed, const std::string& commandName) {
    std::vector<std::string> switches;
    std::vector<std::string> rest;
    for (const std::string& argument : arguments) {
        // A switch is '/' and one letter; anything longer is a native path.
        if (argument.size() == 2 && argument[0] == '/') {
            const std::string option = Lower(argument.substr(1));
            if (option.size() != 1 || allowed.find(option) == std::string::npos) {
                throw ParseError{commandName + " option " + argument + " is not supported"};
            }
            switches.push_back(option);
        } else {
            rest.push_back(argument);
        }
    }
    arguments = rest;
    return switches;
}

bool Has(const std::vector<std::string>& switches, const char* option) {
    return std::find(switches.begin(), switches.end(), option) != switches.end();
}

Command ParseCommand(const std::string& input) {
    std::string text = TrimLeft(input);
    while (!text.empty() && text[0] == '@') {
        text = TrimLeft(text.substr(1));
    }
    Command command;
    if (text.empty()) {
        return command;
    }
    // The command word ends at a blank, a quote or (for "echo.") a full stop.
    size_t end = 0;
    if (text[0] == '"') {
        end = text.find('"', 1);
        if (end == std::string::npos) {
            throw ParseError{"unbalanced quotes"};
        }
        ++end;
    } else {
        while (end < text.size() && !IsBlank(text[end]) && text[end] != '"') {
            ++end;
        }
    }
    const std::string word = text.substr(0, end);
    const std::string name = Lower(word);
    std::string rest = text.substr(end);
    if (name == "rem") {
        return command;
    }
    if (name == "if") {
        RefuseSpecials(rest);
        return ParseIf(rest);
    }
    if (name == "for") {
        RefuseSpecials(rest);
        return ParseFor(rest);
    }
    RefuseSpecials(text);
    command.redirect = SplitRedirect(rest);
    if (name.compare(0, 5, "echo.") == 0) {
        command.kind = Kind::Echo;
        command.text = word.substr(5) + rest;
        return command;
    }
    if (name == "echo") {
        const std::string shown = rest.empty() ? rest : rest.substr(1);
        const std::string mode = Lower(Trim(shown));
        if (mode == "on" || mode == "off" || mode.empty()) {
            if (!command.redirect.empty() && !mode.empty()) {
                throw ParseError{"echo " + mode + " with a redirection"};
            }
            command.kind = Kind::EchoMode;
            command.text = mode;
            return command;
        }
        command.kind = Kind::Echo;
        command.text = shown;
        return command;
    }
    if (name == "set") {
        const std::string assignment = TrimLeft(rest);
        const size_t equals = assignment.find('=');
        if (equals == std::string::npos || equals == 0 || assignment[0] == '/') {
            throw ParseError{"only 'set NAME=value' is supported"};
        }
        command.kind = Kind::Set;
        command.name = assignment.substr(0, equals);
        if (command.name.find_first_of(" \t\"") != std::string::npos) {
            throw ParseError{"a variable name cannot hold blanks or quotes"};
        }
        command.text = assignment.substr(equals + 1);
        return command;
    }
    if (name == "goto") {
        std::string label = TakeWord(rest);
        if (!label.empty() && label[0] == ':') {
            label = label.substr(1);
        }
        if (label.empty() || !Trim(rest).empty()) {
            throw ParseError{"goto needs one label"};
        }
        command.kind = Kind::Goto;
        command.text = label;
        return command;
    }
    if (name == "cd" || name == "chdir") {
        std::string path = Trim(rest);
        if (Lower(path.substr(0, 2)) == "/d" && (path.size() == 2 || IsBlank(path[2]))) {
            path = Trim(path.substr(2));
        }
        if (path.empty()) {
            throw ParseError{"cd needs a directory"};
        }
        command.kind = Kind::Cd;
        command.arguments.push_back(Unquote(path));
        return command;
    }
    std::vector<std::string> arguments = SplitArguments(rest);
    if (name == "mkdir" || name == "md") {
        if (arguments.empty()) {
            throw ParseError{"mkdir needs a directory"};
        }
        command.kind = Kind::Mkdir;
        command.arguments = arguments;
        return command;
    }
    if (name == "del" || name == "erase") {
        const auto switches = TakeSwitches(arguments, "qsf", "del");
        if (arguments.empty()) {
            throw ParseError{"del needs a file name"};
        }
        command.kind = Kind::Del;
        command.flagA = Has(switches, "q");
        command.flagB = Has(switches, "s");
        command.flagC = Has(switches, "f");
        command.arguments = arguments;
        return command;
    }
    if (name == "copy") {
        const auto switches = TakeSwitches(arguments, "by", "copy");
        if (arguments.empty() || arguments.size() > 2) {
            throw ParseError{"copy needs a source and at most one destination"};
        }
        for (const std::string& argument : arguments) {
            if (argument.find('+') != std::string::npos) {
                throw ParseError{"copy with '+' is not supported"};
            }
        }
        command.kind = Kind::Copy;
        command.flagA = Has(switches, "b");
        if (HasWildcard(arguments[0]) && !command.flagA) {
            throw ParseError{"copy of a pattern needs /b"};
        }
        command.arguments = arguments;
        return command;
    }
    if (name == "attrib") {
        if (arguments.size() != 2 || (Lower(arguments[0]) != "-r" && Lower(arguments[0]) != "+r")) {
            throw ParseError{"only 'attrib -R FILE' and 'attrib +R FILE' are supported"};
        }
        command.kind = Kind::Attrib;
        command.flagA = arguments[0][0] == '+';
        command.arguments.push_back(arguments[1]);
        return command;
    }
    if (name[0] == ':') {
        throw ParseError{"a label cannot follow other text"};
    }
    if (IsUnsupportedInternal(name)) {
        command.kind = Kind::Unknown;
        command.text = word;
        return command;
    }
    command.kind = Kind::Program;
    command.text = Unquote(word);
    command.arguments = arguments;
    return command;
}

// ---------------------------------------------------------------- percent expansion

// "%%" gives "%", "%NAME%" the variable's value (empty when unset), "%0" the script,
// "%1" to "%9" and "%*" nothing (scripts get no arguments). A lone "%" is refused.
std::string ExpandPercents(const std::string& line, const std::string& scriptPath, int errorLevel) {
    std::string result;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '%') {
            result += line[i];
            continue;
        }
        if (i + 1 >= line.size()) {
            throw ParseError{"a lone '%'"};
        }
        const char next = line[i + 1];
        if (next == '%') {
            result += '%';
            ++i;
        } else if (next == '0') {
            result += scriptPath;
            ++i;
        } else if (std::isdigit(static_cast<unsigned char>(next)) || next == '*') {
            ++i;
        } else if (next == '~') {
            throw ParseError{"'%~' forms are not supported"};
        } else {
            const size_t close = line.find('%', i + 1);
            if (close == std::string::npos) {
                throw ParseError{"a lone '%'"};
            }
            const std::string name = line.substr(i + 1, close - i - 1);
            if (name.find_first_of(" \t:") != std::string::npos) {
                throw ParseError{"'%" + name + "%' is not a variable"};
            }
            if (auto value = FindVariable(name)) {
                result += *value;
            } else if (Lower(name) == "errorlevel") {
                result += std::to_string(errorLevel);
            } else if (Lower(name) == "cd") {
                char buffer[4096];
                result += getcwd(buffer, sizeof buffer) ? buffer : "";
            }
            i = close;
        }
    }
    return result;
}

void SubstituteLoopVariable(Command& command, const std::string& variable,
                            const std::string& value) {
    auto replace = [&](std::string& text) {
        std::string result;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text.compare(i, variable.size(), variable) == 0) {
                result += value;
                i += variable.size() - 1;
            } else {
                result += text[i];
            }
        }
        text = result;
    };
    replace(command.text);
    replace(command.name);
    replace(command.redirect);
    replace(command.left);
    replace(command.right);
    for (std::string& argument : command.arguments) {
        replace(argument);
    }
    for (Command& inner : command.body) {
        SubstituteLoopVariable(inner, variable, value);
    }
}

// ---------------------------------------------------------------- execution

class Interpreter {
  public:
    explicit Interpreter(std::string scriptPath) : scriptPath_(std::move(scriptPath)) {}

    int Run() {
        std::ifstream file(scriptPath_, std::ios::binary);
        if (!file) {
            std::fprintf(stderr, "ravelin-cmd: cannot open %s\n", scriptPath_.c_str());
            return kParseErrorExit;
        }
        std::string line;
        while (std::getline(file, line)) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            lines_.push_back(line);
        }
        size_t next = 0;
        while (next < lines_.size()) {
            const size_t current = next++;
            std::string text = TrimLeft(lines_[current]);
            while (!text.empty() && text[0] == '@') {
                text = TrimLeft(text.substr(1));
            }
            if (text.empty() || text[0] == ':') {
                continue;
            }
            const std::string first = Lower(text.substr(0, 4));
            if (first == "rem" || ((first.compare(0, 3, "rem") == 0) && IsBlank(text[3]))) {
                continue;
            }
            Command command;
            try {
                command = ParseCommand(ExpandPercents(text, scriptPath_, errorLevel_));
            } catch (const ParseError& error) {
                std::fprintf(stderr, "ravelin-cmd: %s:%zu: cannot parse (%s): %s\n",
                             scriptPath_.c_str(), current + 1, error.reason.c_str(),
                             lines_[current].c_str());
                return kParseErrorExit;
            }
            std::string label;
            if (!Execute(command, &label)) {
                continue;
            }
            // A goto: search forward from here, then from the top.
            if (Lower(label) == "eof") {
                break;
            }
            std::optional<size_t> target;
            for (size_t i = 0; i < lines_.size() && !target; ++i) {
                const size_t index = (current + 1 + i) % lines_.size();
                if (LabelOf(lines_[index]) == Lower(label)) {
                    target = index + 1;
                }
            }
            if (!target) {
                std::fprintf(stderr, "The system cannot find the batch label specified - %s\n",
                             label.c_str());
                return kParseErrorExit;
            }
            next = *target;
        }
        return errorLevel_;
    }

  private:
    static std::string LabelOf(const std::string& line) {
        const std::string text = TrimLeft(line);
        if (text.empty() || text[0] != ':') {
            return {};
        }
        std::string rest = text.substr(1);
        return Lower(TakeWord(rest));
    }

    // Output of a built-in command: standard output or the redirection target.
    struct Output {
        std::FILE* file = stdout;
        bool owned = false;
        ~Output() {
            if (owned) {
                std::fclose(file);
            }
        }
    };

    bool OpenOutput(const Command& command, Output* output) {
        if (command.redirect.empty()) {
            return true;
        }
        output->file = std::fopen(command.redirect.c_str(), "wb");
        if (!output->file) {
            output->file = stdout;
            std::fprintf(stderr, "The system cannot find the path specified.\n");
            errorLevel_ = 1;
            return false;
        }
        output->owned = true;
        return true;
    }

    // Returns true when the command is a goto that was taken; the label goes to `label`.
    bool Execute(const Command& command, std::string* label) {
        switch (command.kind) {
        case Kind::Nothing:
            return false;
        case Kind::Goto:
            *label = command.text;
            return true;
        case Kind::If:
            if (TestCondition(command) != command.flagA) {
                return Execute(command.body[0], label);
            }
            return false;
        case Kind::For:
            return RunFor(command, label);
        case Kind::Program:
            RunProgram(command);
            return false;
        case Kind::Unknown:
            std::fprintf(stderr,
                         "'%s' is not recognized as an internal or external command,\n"
                         "operable program or batch file.\n",
                         command.text.c_str());
            errorLevel_ = kUnknownCommandLevel;
            return false;
        default:
            break;
        }
        Output output;
        if (!OpenOutput(command, &output)) {
            return false;
        }
        switch (command.kind) {
        case Kind::Echo:
            std::fprintf(output.file, "%s\r\n", command.text.c_str());
            break;
        case Kind::EchoMode:
            if (command.text.empty()) {
                std::fprintf(output.file, "ECHO is %s.\r\n", echoOn_ ? "on" : "off");
            } else {
                echoOn_ = command.text == "on";
            }
            break;
        case Kind::Set:
            SetVariable(command.name, command.text.empty()
                                          ? std::nullopt
                                          : std::optional<std::string>(command.text));
            break;
        case Kind::Mkdir:
            RunMkdir(command);
            break;
        case Kind::Cd:
            if (chdir(command.arguments[0].c_str()) != 0) {
                std::fprintf(stderr, "The system cannot find the path specified.\n");
                errorLevel_ = 1;
            } else {
                errorLevel_ = 0;
            }
            break;
        case Kind::Del:
            RunDel(command);
            break;
        case Kind::Copy:
            RunCopy(command, output.file);
            break;
        case Kind::Attrib:
            RunAttrib(command);
            break;
        default:
            break;
        }
        return false;
    }

    bool TestCondition(const Command& command) {
        if (command.condition == "exist") {
            struct stat info {};
            if (HasWildcard(command.left)) {
                std::string directory;
                std::string pattern;
                SplitPath(command.left, &directory, &pattern);
                return !MatchEntries(directory, pattern, false).empty();
            }
            return StatPath(command.left, &info);
        }
        if (command.condition == "errorlevel") {
            return errorLevel_ >= std::atoi(command.left.c_str());
        }
        return command.flagB ? Lower(command.left) == Lower(command.right)
                             : command.left == command.right;
    }

    bool RunFor(const Command& command, std::string* label) {
        std::string directory;
        std::string pattern;
        SplitPath(command.left, &directory, &pattern);
        std::vector<Entry> entries = MatchEntries(directory, pattern, false);
        const std::string& order = command.right;
        if (order == "d" || order == "-d") {
            std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
                if (a.modified.tv_sec != b.modified.tv_sec) {
                    return a.modified.tv_sec < b.modified.tv_sec;
                }
                return a.modified.tv_nsec < b.modified.tv_nsec;
            });
        }
        if (order[0] == '-') {
            std::reverse(entries.begin(), entries.end());
        }
        if (entries.empty()) {
            std::fprintf(stderr, "File Not Found\n");
        }
        for (const Entry& entry : entries) {
            Command body = command.body[0];
            SubstituteLoopVariable(body, command.name, entry.name);
            if (Execute(body, label)) {
                return true;
            }
        }
        return false;
    }

    void RunMkdir(const Command& command) {
        errorLevel_ = 0;
        for (const std::string& path : command.arguments) {
            if (StatPath(path, &scratch_)) {
                std::fprintf(stderr, "A subdirectory or file %s already exists.\n", path.c_str());
                errorLevel_ = 1;
                continue;
            }
            // Missing parents are made too.
            for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
                const std::string part = path.substr(0, slash);
                if (!part.empty() && !IsDirectoryPath(part) && mkdir(part.c_str(), 0777) != 0) {
                    std::fprintf(stderr, "The system cannot find the path specified.\n");
                    errorLevel_ = 1;
                    break;
                }
                if (slash == std::string::npos) {
                    break;
                }
            }
        }
    }

    // Deletes the matching files of `directory` and, with /s, of every directory below it.
    void DeleteIn(const std::string& directory, const std::string& pattern, const Command& command,
                  bool* found) {
        for (const Entry& entry : MatchEntries(directory, pattern, true)) {
            const std::string path = directory + entry.name;
            *found = true;
            if (IsReadOnlyPath(path) && !command.flagC) {
                std::fprintf(stderr, "%s\nAccess is denied.\n", path.c_str());
                continue;
            }
            if (unlink(path.c_str()) != 0) {
                std::fprintf(stderr, "%s\nAccess is denied.\n", path.c_str());
            } else if (command.flagB) {
                std::printf("Deleted file - %s\r\n", path.c_str());
            }
        }
        if (!command.flagB) {
            return;
        }
        DIR* dir = opendir(directory.empty() ? "." : directory.c_str());
        if (!dir) {
            return;
        }
        std::vector<std::string> subdirectories;
        while (struct dirent* item = readdir(dir)) {
            const std::string name = item->d_name;
            struct stat info {};
            if (name != "." && name != ".." && lstat((directory + name).c_str(), &info) == 0 &&
                S_ISDIR(info.st_mode)) {
                subdirectories.push_back(directory + name + "/");
            }
        }
        closedir(dir);
        for (const std::string& subdirectory : subdirectories) {
            DeleteIn(subdirectory, pattern, command, found);
        }
    }

    void RunDel(const Command& command) {
        for (const std::string& argument : command.arguments) {
            std::string directory;
            std::string pattern;
            SplitPath(argument, &directory, &pattern);
            bool found = false;
            if (IsDirectoryPath(argument)) {
                directory = argument.back() == '/' ? argument : argument + "/";
                pattern = "*";
            }
            DeleteIn(directory, pattern, command, &found);
            if (!found) {
                std::fprintf(stderr, "Could Not Find %s\n", argument.c_str());
            }
        }
    }

    void RunCopy(const Command& command, std::FILE* output) {
        const std::string& source = command.arguments[0];
        std::string sourceDirectory;
        std::string sourceName;
        SplitPath(source, &sourceDirectory, &sourceName);
        std::vector<std::string> sources;
        if (HasWildcard(sourceName)) {
            for (const Entry& entry : MatchEntries(sourceDirectory, sourceName, true)) {
                sources.push_back(sourceDirectory + entry.name);
            }
        } else {
            struct stat info {};
            if (StatPath(source, &info) && S_ISREG(info.st_mode)) {
                sources.push_back(source);
            }
        }
        if (sources.empty()) {
            std::fprintf(stderr, "The system cannot find the file specified.\n");
            errorLevel_ = 1;
            return;
        }
        std::string destination = command.arguments.size() > 1 ? command.arguments[1] : ".";
        const bool intoDirectory = IsDirectoryPath(destination);
        if (intoDirectory && destination.back() != '/') {
            destination += '/';
        }
        // A pattern copied to a file joins the matches into it; into a directory, each
        // match is copied on its own.
        std::vector<std::pair<std::vector<std::string>, std::string>> jobs;
        if (intoDirectory) {
            for (const std::string& path : sources) {
                std::string directory;
                std::string name;
                SplitPath(path, &directory, &name);
                jobs.push_back({{path}, destination + name});
            }
        } else {
            jobs.push_back({sources, destination});
        }
        int copied = 0;
        for (const auto& [from, to] : jobs) {
            struct stat target {};
            struct stat first {};
            StatPath(from[0], &first);
            if (StatPath(to, &target) && target.st_dev == first.st_dev &&
                target.st_ino == first.st_ino) {
                std::fprintf(stderr, "The file cannot be copied onto itself.\n");
                errorLevel_ = 1;
                return;
            }
            if (IsReadOnlyPath(to)) {
                std::fprintf(stderr, "Access is denied.\n");
                errorLevel_ = 1;
                return;
            }
            std::ofstream out(to, std::ios::binary | std::ios::trunc);
            bool good = static_cast<bool>(out);
            for (const std::string& path : from) {
                good = good && CopyBytes(path, out);
            }
            out.close();
            if (!good) {
                std::fprintf(stderr, "The system cannot find the path specified.\n");
                errorLevel_ = 1;
                return;
            }
            // The copy keeps the source's read-only flag, as on Windows.
            chmod(to.c_str(), first.st_mode & 07777);
            ++copied;
        }
        std::fprintf(output, "        %d file(s) copied.\r\n", copied);
        errorLevel_ = 0;
    }

    void RunAttrib(const Command& command) {
        const std::string& path = command.arguments[0];
        struct stat info {};
        if (!StatPath(path, &info)) {
            std::fprintf(stderr, "File not found - %s\n", path.c_str());
            errorLevel_ = 1;
            return;
        }
        mode_t mode = info.st_mode & 07777;
        mode = command.flagA ? (mode & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH))
                             : (mode | S_IWUSR);
        errorLevel_ = chmod(path.c_str(), mode) == 0 ? 0 : 1;
    }

    static std::optional<std::string> FindProgram(const std::string& name) {
        auto runnable = [](const std::string& path) {
            struct stat info {};
            return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
                   access(path.c_str(), X_OK) == 0;
        };
        if (name.find('/') != std::string::npos) {
            return runnable(name) ? std::optional<std::string>(name) : std::nullopt;
        }
        const char* path = std::getenv("PATH");
        std::stringstream directories(path ? path : "");
        std::string directory;
        while (std::getline(directories, directory, ':')) {
            if (directory.empty()) {
                continue;
            }
            for (const char* suffix : {"", ".exe"}) {
                const std::string candidate = directory + "/" + name + suffix;
                if (runnable(candidate)) {
                    return candidate;
                }
            }
        }
        return std::nullopt;
    }

    void RunProgram(const Command& command) {
        const std::optional<std::string> program = FindProgram(command.text);
        if (!program) {
            std::fprintf(stderr,
                         "'%s' is not recognized as an internal or external command,\n"
                         "operable program or batch file.\n",
                         command.text.c_str());
            errorLevel_ = kUnknownCommandLevel;
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (!command.redirect.empty()) {
            posix_spawn_file_actions_addopen(&actions, 1, command.redirect.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0666);
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(command.text.c_str()));
        for (const std::string& argument : command.arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        std::fflush(stdout);
        pid_t pid = -1;
        const int started =
            posix_spawn(&pid, program->c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (started != 0) {
            std::fprintf(stderr, "'%s' could not be started: %s\n", command.text.c_str(),
                         std::strerror(started));
            errorLevel_ = kUnknownCommandLevel;
            return;
        }
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        errorLevel_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    std::string scriptPath_;
    std::vector<std::string> lines_;
    int errorLevel_ = 0;
    bool echoOn_ = true;
    struct stat scratch_ {};
};

} // namespace

int RunScriptFile(const std::string& path) {
    return Interpreter(path).Run();
}

} // namespace cmdlang
