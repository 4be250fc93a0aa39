// The manual pages against the program they describe: groff and man lay
// them out without a warning, every command and option that `aerovane
// --help` prints has a paragraph of its own in aerovane(1) and every one
// documented there is one the program takes, and every key the
// configuration parser accepts is in aerovane.conf(5) with values and a
// default the parser takes.
#include <cstring>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/exit_codes.h"
#include "settings/config_file.h"
#include "tests/support/process_linux.h"
#include "tests/support/same_config.h"

namespace {

using e2e::Process;
using e2e::TempDir;

const std::string PROGRAM_PAGE = std::string(AEROVANE_SOURCE_DIR) + "/docs/man/aerovane.1";
const std::string CONFIG_PAGE = std::string(AEROVANE_SOURCE_DIR) + "/docs/man/aerovane.conf.5";

// A tagged paragraph (.TP): its tag as a reader sees it, and the raw
// lines of its body up to the next paragraph.
struct Tag {
    std::string section;    // the .SH it stands under
    std::string subsection; // the .SS, if any
    std::string raw;        // the tag line as written
    std::string text;       // the same without fonts and escapes
    std::vector<std::string> body;
};

// The text of a line without font changes and with the escapes the pages
// use turned into their characters.
std::string plain(const std::string& line)
{
    static const std::pair<const char*, const char*> ESCAPES[] = {
        {"\\(de", "\u00B0"}, {"\\(dq", "\""}, {"\\(bu", ""}, {"\\-", "-"}, {"\\&", ""}, {"\\c", ""}, {"\\e", "\\"},
    };
    std::string text = std::regex_replace(line, std::regex(R"(\\f[BIRP])"), "");
    for (const auto& [escape, character] : ESCAPES)
        for (std::size_t at = text.find(escape); at != std::string::npos; at = text.find(escape, at))
            text.replace(at, std::strlen(escape), character);
    return text;
}

// A macro line's arguments joined as the macro joins them (the
// alternating-font macros .BI, .BR ... with no blank between them, the
// others with one); any other line as it is.
std::string lineText(const std::string& line)
{
    if (line.empty() || line[0] != '.')
        return plain(line);
    std::size_t at = line.find(' ');
    const bool alternating = std::regex_match(line.substr(1, at - 1), std::regex("[BIR]{2}"));
    std::string joined;
    while (at != std::string::npos && at < line.size()) {
        while (at < line.size() && line[at] == ' ')
            ++at;
        if (at >= line.size())
            break;
        if (!joined.empty() && !alternating)
            joined += ' ';
        std::size_t end;
        if (line[at] == '"') {
            end = line.find('"', at + 1);
            joined += line.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
            at = end == std::string::npos ? end : end + 1;
        } else {
            end = line.find(' ', at);
            joined += line.substr(at, end == std::string::npos ? std::string::npos : end - at);
            at = end;
        }
    }
    return plain(joined);
}

std::vector<Tag> tagsOf(const std::string& page)
{
    std::vector<Tag> tags;
    std::istringstream in(e2e::readFile(page));
    std::string line, section, subsection;
    bool tagNext = false;
    Tag* open = nullptr;
    while (std::getline(in, line)) {
        if (tagNext) {
            tags.push_back(Tag{section, subsection, line, lineText(line), {}});
            open = &tags.back();
            tagNext = false;
        } else if (line.rfind(".SH", 0) == 0) {
            section = lineText(line);
            subsection.clear();
            open = nullptr;
        } else if (line.rfind(".SS", 0) == 0) {
            subsection = line;
            open = nullptr;
        } else if (line == ".TP") {
            tagNext = true;
        } else if (line == ".RS" || line == ".RE" || line == ".PP") {
            open = nullptr;
        } else if (open) {
            open->body.push_back(line);
        }
    }
    return tags;
}

std::vector<std::string> wordsOf(const std::string& text)
{
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

// What a paragraph documents: the first word of its tag, up to any "=".
std::string tagName(const Tag& tag)
{
    const std::vector<std::string> words = wordsOf(tag.text);
    return words.empty() ? std::string() : words[0].substr(0, words[0].find('='));
}

// Runs the real program; its exit code, with its standard output.
int runAerovane(const std::vector<std::string>& arguments, std::string* out = nullptr)
{
    TempDir dir;
    std::vector<std::string> args{e2e::aerovaneBinary()};
    args.insert(args.end(), arguments.begin(), arguments.end());
    Process program(args, dir.path("out"), dir.path("err"));
    int code = -1;
    EXPECT_TRUE(program.waitExit(&code));
    if (out)
        *out = e2e::readFile(dir.path("out"));
    return code;
}

TEST(ManPages, LayOutWithoutAWarning)
{
    for (const std::string& page : {PROGRAM_PAGE, CONFIG_PAGE}) {
        const std::vector<std::vector<std::string>> formatters = {
            {"/usr/bin/groff", "-man", "-ww", "-z", page},
            {"/usr/bin/man", "--warnings", "-l", page},
        };
        for (const auto& command : formatters) {
            TempDir dir;
            Process formatter(command, dir.path("out"), dir.path("err"));
            int code = -1;
            ASSERT_TRUE(formatter.waitExit(&code));
            EXPECT_EQ(code, 0) << command[0] << " " << page;
            EXPECT_EQ(e2e::readFile(dir.path("err")), "") << command[0] << " " << page;
            if (command[0] == "/usr/bin/man") {
                EXPECT_NE(e2e::readFile(dir.path("out")).find("aerovane"), std::string::npos);
            }
        }
    }
}

// The commands (the lines of "Commands" indented by two) and the options
// (each "-x" or "--name" after a blank or "[") that --help prints.
std::set<std::string> namesInHelp(const std::string& help)
{
    std::set<std::string> names;
    const std::regex option(R"((^|[\s\[])(--?[a-z][a-z-]*))");
    for (auto it = std::sregex_iterator(help.begin(), help.end(), option); it != std::sregex_iterator(); ++it)
        names.insert((*it)[2]);
    std::istringstream in(help);
    bool commands = false;
    std::smatch found;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] != ' ')
            commands = line == "Commands";
        else if (commands && std::regex_search(line, found, std::regex(R"(^  ([a-z]+)\b)")))
            names.insert(found[1]);
    }
    return names;
}

TEST(ManPages, EveryCommandAndOptionOfHelpHasAParagraph)
{
    std::string help;
    ASSERT_EQ(runAerovane({"--help"}, &help), EXIT_DONE);
    const std::set<std::string> names = namesInHelp(help);
    // The parse itself must find what --help holds, or the check is empty.
    for (const char* expected : {"live", "export", "run", "report", "--json", "--from-archive", "-o", "--version"})
        ASSERT_EQ(names.count(expected), 1u) << expected;
    std::set<std::string> documented;
    for (const Tag& tag : tagsOf(PROGRAM_PAGE))
        if (tag.section == "COMMANDS" || tag.section == "OPTIONS")
            documented.insert(tagName(tag));
    for (const std::string& name : names)
        EXPECT_EQ(documented.count(name), 1u) << name << " is in --help but has no paragraph in aerovane(1)";

    std::set<std::string> statuses;
    for (const Tag& tag : tagsOf(PROGRAM_PAGE))
        if (tag.section == "EXIT STATUS")
            statuses.insert(tag.text);
    for (int code : {EXIT_DONE, EXIT_REFUSED, EXIT_USAGE, EXIT_ARCHIVE_NEWER, EXIT_ARCHIVE_IN_USE, EXIT_CONFIG,
                     EXIT_STOPPED})
        EXPECT_EQ(statuses.count(std::to_string(code)), 1u) << "exit status " << code;
}

// Each paragraph's tag, as written, is a command line the program takes:
// an option it does not know, or one written without the value it needs,
// makes `aerovane TAG --help` a wrong command line.
TEST(ManPages, EveryDocumentedCommandAndOptionIsTaken)
{
    int checked = 0;
    for (const Tag& tag : tagsOf(PROGRAM_PAGE)) {
        if (tag.section != "COMMANDS" && tag.section != "OPTIONS")
            continue;
        std::vector<std::string> args = wordsOf(tag.text);
        args.push_back("--help");
        EXPECT_EQ(runAerovane(args), EXIT_DONE) << tag.text;
        ++checked;
    }
    EXPECT_GE(checked, 15);
}

// What the parser says of `text` read over `config`; empty when it took it.
std::string parseError(const std::string& text, AppConfig& config)
{
    ConfigError error{};
    return parseConfig(text.data(), text.size(), config, error) == 1 ? std::string() : std::string(error.message);
}

bool accepted(const std::string& text)
{
    AppConfig config = defaultAppConfig();
    return parseError(text, config).empty();
}

// The [section] names a .SS line names.
std::vector<std::string> sectionsNamed(const std::string& subsection)
{
    std::vector<std::string> names;
    const std::regex name(R"(\[([A-Za-z]+)\])");
    for (auto it = std::sregex_iterator(subsection.begin(), subsection.end(), name); it != std::sregex_iterator();
         ++it)
        names.push_back((*it)[1]);
    return names;
}

// The bold words of a raw line, as the reader sees them.
std::vector<std::string> boldIn(const std::string& raw)
{
    std::vector<std::string> found;
    const std::regex bold(R"(\\fB(.*?)\\f[RIP])");
    for (auto it = std::sregex_iterator(raw.begin(), raw.end(), bold); it != std::sregex_iterator(); ++it)
        found.push_back(plain((*it)[1]));
    return found;
}

using SectionKey = std::pair<std::string, std::string>;

// "section key" of every key the page documents.
std::set<SectionKey> documentedKeys(const std::vector<Tag>& tags)
{
    std::set<SectionKey> keys;
    for (const Tag& tag : tags)
        for (const std::string& section : sectionsNamed(tag.subsection))
            keys.insert({section, tagName(tag)});
    return keys;
}

std::vector<Tag> keyParagraphs()
{
    std::vector<Tag> keys;
    for (const Tag& tag : tagsOf(CONFIG_PAGE))
        if (tag.section == "SECTIONS AND KEYS")
            keys.push_back(tag);
    return keys;
}

TEST(ManPages, EveryDocumentedValueAndDefaultIsTheParsers)
{
    const std::vector<Tag> keys = keyParagraphs();
    ASSERT_GE(keys.size(), 13u);
    for (const Tag& tag : keys) {
        const std::vector<std::string> sections = sectionsNamed(tag.subsection);
        ASSERT_FALSE(sections.empty()) << tag.text;
        const std::string key = tagName(tag);
        // The literal values follow the key, which is the first bold word.
        std::vector<std::string> values = boldIn(tag.raw);
        ASSERT_FALSE(values.empty()) << tag.raw;
        ASSERT_EQ(values[0], key + " =");
        values.erase(values.begin());
        std::vector<std::string> defaults;
        bool defaultTold = false;
        for (const std::string& line : tag.body)
            if (line.rfind("Default:", 0) == 0) {
                defaultTold = true;
                defaults = boldIn(line);
            }
        EXPECT_TRUE(defaultTold) << key << " has no Default: line";
        for (std::size_t s = 0; s < sections.size(); ++s) {
            const std::string head = "[" + sections[s] + "]\n" + key + " = ";
            for (const std::string& value : values)
                EXPECT_TRUE(accepted(head + value + "\n")) << head << value;
            if (defaults.empty())
                continue;
            ASSERT_TRUE(defaults.size() == 1 || defaults.size() == sections.size()) << key;
            const std::string& value = defaults[defaults.size() == 1 ? 0 : s];
            AppConfig config = defaultAppConfig();
            EXPECT_EQ(parseError(head + value + "\n", config), "") << head << value;
            EXPECT_TRUE(sameConfig(config, defaultAppConfig())) << head << value << " is not the built-in default";
        }
    }
}

// The example at the end of the page sets every key it documents, and the
// parser takes it.
TEST(ManPages, TheConfigurationExampleSetsEveryKeyAndIsTaken)
{
    std::istringstream in(e2e::readFile(CONFIG_PAGE));
    std::string example;
    std::set<SectionKey> set;
    bool inside = false;
    std::string section;
    for (std::string line; std::getline(in, line);) {
        if (line == ".EX" || line == ".EE") {
            inside = line == ".EX";
            continue;
        }
        if (!inside)
            continue;
        line = plain(line);
        example += line + "\n";
        std::smatch found;
        if (std::regex_match(line, found, std::regex(R"(\[([A-Za-z]+)\])")))
            section = found[1];
        else if (std::regex_match(line, found, std::regex(R"(([A-Za-z][A-Za-z-]*) = .*)")))
            set.insert({section, found[1]});
    }
    AppConfig config = defaultAppConfig();
    EXPECT_EQ(parseError(example, config), "");
    EXPECT_EQ(set, documentedKeys(keyParagraphs()));
}

// The names the parser could know: every word-like string literal of the
// settings' sources. Each one the parser takes as a [section], or as a key
// of one (a value it refuses is then not "unknown"), must be in the page.
TEST(ManPages, EveryKeyTheParserTakesIsDocumented)
{
    std::set<std::string> candidates;
    const std::regex literal(R"re("([A-Za-z][A-Za-z0-9_-]*)")re");
    for (const char* source : {"/settings/config_file.cpp", "/settings/unit_names.cpp", "/settings/network_config.cpp",
                               "/settings/mqtt_config.cpp"}) {
        const std::string text = e2e::readFile(std::string(AEROVANE_SOURCE_DIR) + source);
        for (auto it = std::sregex_iterator(text.begin(), text.end(), literal); it != std::sregex_iterator(); ++it)
            candidates.insert((*it)[1]);
    }
    std::set<SectionKey> taken;
    for (const std::string& section : candidates) {
        if (!accepted("[" + section + "]\n"))
            continue;
        for (const std::string& key : candidates) {
            AppConfig config = defaultAppConfig();
            const std::string message = parseError("[" + section + "]\n" + key + " = \x01\n", config);
            if (message.rfind("unknown key", 0) != 0 && message.rfind("unknown unit choice", 0) != 0)
                taken.insert({section, key});
        }
    }
    ASSERT_GE(taken.size(), 18u); // six units, four keys of each service, path, folder, every, sync
    const std::set<SectionKey> documented = documentedKeys(keyParagraphs());
    for (const SectionKey& key : taken)
        EXPECT_EQ(documented.count(key), 1u) << "[" << key.first << "] " << key.second
                                             << " is taken by the parser but not in aerovane.conf(5)";
}

} // namespace
