// The help's sources as the compiler and a browser take them: the project
// starts at index.htm and has no context map, every file it lists is there and
// shipped, every link between pages lands on a page and an anchor that
// exist, every page is reachable and in the contents, the texts are
// Windows-1250 as the pages declare, and every command of the main menu and
// every dialog of the program is described under its own name.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::filesystem::path kSource = QM487_SOURCE_DIR;
const std::filesystem::path kHelp = kSource / "help";

std::string Read(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// The lines of one [SECTION] of the project file, comments left out.
std::vector<std::string> Section(const std::string& name) {
    std::vector<std::string> lines;
    bool in = false;
    for (const std::string& line : Lines(Read(kHelp / "qm487.hhp"))) {
        if (!line.empty() && line[0] == '[') {
            in = line == "[" + name + "]";
            continue;
        }
        if (in && !line.empty() && line[0] != ';')
            lines.push_back(line);
    }
    return lines;
}

// The values of attr="..." in an HTML text, in order.
std::vector<std::string> Attributes(const std::string& html, const std::string& attr) {
    std::vector<std::string> values;
    const std::string key = attr + "=\"";
    for (size_t at = html.find(key); at != std::string::npos; at = html.find(key, at + 1)) {
        if (at > 0 && std::isalnum(static_cast<unsigned char>(html[at - 1])))
            continue;  // "xhref" is not "href"
        const size_t start = at + key.size();
        values.push_back(html.substr(start, html.find('"', start) - start));
    }
    return values;
}

bool IsExternal(const std::string& target) {
    return target.rfind("http:", 0) == 0 || target.rfind("https:", 0) == 0 || target.rfind("mailto:", 0) == 0;
}

std::vector<std::string> Pages() {
    std::vector<std::string> pages;
    for (const std::string& file : Section("FILES"))
        if (file.size() > 4 && file.substr(file.size() - 4) == ".htm")
            pages.push_back(file);
    return pages;
}

// "„text”" as the pages quote the program's own texts (Windows-1250).
std::string Quoted(const std::string& text) { return "\x84" + text + "\x94"; }

// The quoted strings of the lines of an .rc text that start with keyword.
std::vector<std::string> RcStrings(const std::string& rc, const std::string& keyword) {
    std::vector<std::string> texts;
    for (std::string line : Lines(rc)) {
        line.erase(0, line.find_first_not_of(" \t"));
        if (line.rfind(keyword + " \"", 0) == 0) {
            const size_t start = keyword.size() + 2;
            texts.push_back(line.substr(start, line.find('"', start) - start));
        }
    }
    return texts;
}

}  // namespace

TEST(HelpProject, StartsAtTheStartPageWithoutAContextMap) {
    // chmcmd writes the folder it compiles in into a map's topics, which
    // then name no page of the file: the program opens index.htm by name.
    EXPECT_TRUE(Section("MAP").empty());
    EXPECT_TRUE(Section("ALIAS").empty());
    const std::vector<std::string> options = Section("OPTIONS");
    auto has = [&](const std::string& line) { return std::count(options.begin(), options.end(), line) == 1; };
    EXPECT_TRUE(has("Default topic=index.htm"));
    EXPECT_TRUE(has("Compiled file=QM487.chm"));
    // The pages' and the contents' code page is the one of this language.
    EXPECT_TRUE(has("Language=0x415 Polish"));
    // ASCII, so the help window's title reads the same under any code page.
    EXPECT_TRUE(has("Title=Pomoc programu QM487"));
}

TEST(HelpProject, ListsEveryFileOfTheFolderAndTheBuildShipsThemAll) {
    std::set<std::string> listed;
    for (const std::string& file : Section("FILES")) {
        EXPECT_TRUE(std::filesystem::is_regular_file(kHelp / file)) << file;
        listed.insert(file);
    }
    std::set<std::string> present;
    for (const auto& entry : std::filesystem::directory_iterator(kHelp)) {
        const std::string ext = entry.path().extension().string();
        if (ext == ".htm" || ext == ".css" || ext == ".png" || ext == ".gif")
            present.insert(entry.path().filename().string());
    }
    EXPECT_EQ(listed, present);

    // help/CMakeLists.txt copies these beside the program for the browser.
    const std::string cmake = Read(kHelp / "CMakeLists.txt");
    const size_t start = cmake.find("set(QM487_HELP_PAGES ");
    ASSERT_NE(start, std::string::npos);
    std::istringstream words(cmake.substr(start + 21, cmake.find("CACHE", start) - start - 21));
    const std::set<std::string> shipped{std::istream_iterator<std::string>(words), {}};
    EXPECT_EQ(shipped, listed);
}

TEST(HelpPages, AreWindows1250AsTheyDeclare) {
    for (const std::string& page : Pages()) {
        const std::string html = Read(kHelp / page);
        EXPECT_NE(html.find("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1250\">"),
                  std::string::npos)
            << page;
        for (size_t i = 0; i < html.size(); ++i) {
            const unsigned char c = html[i];
            // Bytes Windows-1250 leaves undefined.
            EXPECT_TRUE(c != 0x81 && c != 0x83 && c != 0x88 && c != 0x90 && c != 0x98) << page << " at " << i;
            // 0xC4 0x85, 0xC5 0x82...: UTF-8 of a Polish letter slipped in.
            if ((c == 0xC4 || c == 0xC5) && i + 1 < html.size()) {
                const unsigned char next = html[i + 1];
                EXPECT_FALSE(next >= 0x80 && next <= 0xBF) << page << " at " << i << ": UTF-8?";
            }
        }
        EXPECT_NE(html.find("<title>"), std::string::npos) << page;
    }
}

TEST(HelpPages, EveryLinkLandsOnAPageAndAnAnchorThatExist) {
    std::map<std::string, std::set<std::string>> ids;
    for (const std::string& file : Section("FILES"))
        ids[file];
    for (const std::string& page : Pages())
        for (const std::string& id : Attributes(Read(kHelp / page), "id"))
            EXPECT_TRUE(ids[page].insert(id).second) << page << ": id " << id << " twice";

    std::set<std::string> reached{"index.htm"};
    std::vector<std::string> todo{"index.htm"};
    while (!todo.empty()) {
        const std::string page = todo.back();
        todo.pop_back();
        const std::string html = Read(kHelp / page);
        std::vector<std::string> targets = Attributes(html, "href");
        const std::vector<std::string> sources = Attributes(html, "src");
        targets.insert(targets.end(), sources.begin(), sources.end());
        for (const std::string& target : targets) {
            if (IsExternal(target))
                continue;
            const size_t hash = target.find('#');
            const std::string file = hash == std::string::npos ? target : target.substr(0, hash);
            const std::string anchor = hash == std::string::npos ? "" : target.substr(hash + 1);
            const std::string dest = file.empty() ? page : file;
            ASSERT_TRUE(ids.count(dest)) << page << " links to " << target << ", which is not in the help";
            if (!anchor.empty()) {
                EXPECT_TRUE(ids[dest].count(anchor)) << page << " links to " << target << ": no such anchor";
            }
            if (dest.size() > 4 && dest.substr(dest.size() - 4) == ".htm" && reached.insert(dest).second)
                todo.push_back(dest);
        }
    }
    for (const std::string& page : Pages())
        EXPECT_TRUE(reached.count(page)) << page << " cannot be reached from the start page";
}

TEST(HelpPages, TheContentsNameEveryPage) {
    const std::string toc = Read(kHelp / "spis.hhc");
    std::set<std::string> local;
    for (size_t at = toc.find("name=\"Local\" value=\""); at != std::string::npos;
         at = toc.find("name=\"Local\" value=\"", at + 1)) {
        const size_t start = at + 20;
        local.insert(toc.substr(start, toc.find('"', start) - start));
    }
    const std::vector<std::string> pages = Pages();
    EXPECT_EQ(local, std::set<std::string>(pages.begin(), pages.end()));
}

TEST(HelpPages, DescribeEveryMenuCommandAndEveryDialogByName) {
    const std::string rc = Read(kSource / "res" / "qm487.rc");
    const size_t menuStart = rc.find("IDR_MAIN_MENU MENU");
    ASSERT_NE(menuStart, std::string::npos);
    const std::string menu = rc.substr(menuStart, rc.find("\nEND", menuStart) - menuStart);
    const std::string window = Read(kHelp / "okno.htm");
    std::vector<std::string> commands = RcStrings(menu, "MENUITEM");
    const std::vector<std::string> popups = RcStrings(menu, "POPUP");
    EXPECT_EQ(popups.size(), 4u);
    EXPECT_GE(commands.size(), 12u);
    commands.insert(commands.end(), popups.begin(), popups.end());
    for (const std::string& command : commands)
        EXPECT_NE(window.find(Quoted(command)), std::string::npos) << "okno.htm says nothing of " << command;

    std::string all;
    for (const std::string& page : Pages())
        all += Read(kHelp / page);
    std::vector<std::string> captions;
    for (const auto& entry : std::filesystem::directory_iterator(kSource / "res"))
        if (entry.path().extension() == ".rc") {
            const std::vector<std::string> found = RcStrings(Read(entry.path()), "CAPTION");
            captions.insert(captions.end(), found.begin(), found.end());
        }
    EXPECT_GE(captions.size(), 7u);
    for (const std::string& caption : captions)
        EXPECT_NE(all.find(caption), std::string::npos) << "no page names the dialog " << caption;
}
