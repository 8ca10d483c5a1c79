#include "platform/lang/LangSource.h"

#include <cctype>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace plat::lang {
namespace {

// One line split into words; a quoted text is one word with its escapes resolved.
struct Word {
    std::string text;
    bool quoted = false;
};

bool SplitLine(const std::string& line, std::vector<Word>* words, std::string* why)
{
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        if (c == '#')
            break;
        Word w;
        if (c != '"') {
            while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])))
                w.text += line[i++];
            words->push_back(std::move(w));
            continue;
        }
        w.quoted = true;
        ++i;
        bool closed = false;
        while (i < line.size()) {
            char ch = line[i++];
            if (ch == '"') {
                closed = true;
                break;
            }
            if (ch == '\\') {
                if (i >= line.size()) {
                    *why = "escape at end of line";
                    return false;
                }
                const char e = line[i++];
                switch (e) {
                case 'n': ch = '\n'; break;
                case 'r': ch = '\r'; break;
                case 't': ch = '\t'; break;
                case '"': ch = '"'; break;
                case '\\': ch = '\\'; break;
                default:
                    *why = std::string("unknown escape \\") + e;
                    return false;
                }
            }
            w.text += ch;
        }
        if (!closed) {
            *why = "text without closing quote";
            return false;
        }
        words->push_back(std::move(w));
    }
    return true;
}

bool ParseNumber(const Word& w, uint32_t max, uint32_t* out)
{
    if (w.quoted || w.text.empty())
        return false;
    char* end = nullptr;
    const unsigned long v = std::strtoul(w.text.c_str(), &end, 0);
    if (*end != '\0' || v > max || w.text[0] == '-')
        return false;
    *out = static_cast<uint32_t>(v);
    return true;
}

class Parser {
public:
    Parser(const std::string& name, LanguageTables* tables) : name_(name), tables_(tables) {}

    bool run(const std::string& text, std::string* error)
    {
        std::istringstream in(text);
        std::string line;
        while (std::getline(in, line)) {
            ++lineNo_;
            std::vector<Word> words;
            std::string why;
            if (!SplitLine(line, &words, &why) || !handle(words, &why)) {
                *error = name_ + ":" + std::to_string(lineNo_) + ": " + why;
                return false;
            }
        }
        if (!stack_.empty()) {
            *error = name_ + ": menu " + std::to_string(menuId_) + " has no closing end";
            return false;
        }
        return true;
    }

private:
    bool handle(const std::vector<Word>& w, std::string* why)
    {
        if (w.empty())
            return true;
        const std::string& head = w[0].quoted ? std::string() : w[0].text;
        if (!stack_.empty())
            return menuLine(w, head, why);
        if (head == "language")
            return languageLine(w, why);
        if (!table_) {
            *why = "the first entry must be 'language <id>'";
            return false;
        }
        if (head == "menu")
            return menuStart(w, why);
        return stringLine(w, why);
    }

    bool languageLine(const std::vector<Word>& w, std::string* why)
    {
        uint32_t id = 0;
        if (w.size() < 2 || !ParseNumber(w[1], 0xFFFF, &id) || id == 0) {
            *why = "language needs a language id (e.g. 0x0409)";
            return false;
        }
        table_ = &(*tables_)[static_cast<LangId>(id)];
        return true;
    }

    bool stringLine(const std::vector<Word>& w, std::string* why)
    {
        uint32_t id = 0;
        if (w.size() != 2 || !ParseNumber(w[0], 0xFFFF, &id) || !w[1].quoted) {
            *why = "expected: <id> \"text\"";
            return false;
        }
        if (!table_->strings.emplace(id, w[1].text).second) {
            *why = "text " + std::to_string(id) + " given twice";
            return false;
        }
        return true;
    }

    bool menuStart(const std::vector<Word>& w, std::string* why)
    {
        if (w.size() != 2 || !ParseNumber(w[1], 0xFFFF, &menuId_)) {
            *why = "expected: menu <id>";
            return false;
        }
        auto [it, added] = table_->menus.emplace(menuId_, Menu{});
        if (!added) {
            *why = "menu " + std::to_string(menuId_) + " given twice";
            return false;
        }
        stack_.push_back(&it->second);
        return true;
    }

    bool menuLine(const std::vector<Word>& w, const std::string& head, std::string* why)
    {
        Menu& items = *stack_.back();
        if (head == "end" && w.size() == 1) {
            stack_.pop_back();
            return true;
        }
        if (head == "separator" && w.size() == 1) {
            MenuItem sep;
            sep.kind = MenuItem::Kind::Separator;
            items.push_back(sep);
            return true;
        }
        MenuItem item;
        std::size_t flagsAt = 0;
        if (head == "popup" && w.size() >= 2 && w[1].quoted) {
            item.kind = MenuItem::Kind::Popup;
            item.text = w[1].text;
            flagsAt = 2;
        } else if (head == "item" && w.size() >= 3 && ParseNumber(w[1], 0xFFFFFFFF, &item.command) && w[2].quoted) {
            item.text = w[2].text;
            flagsAt = 3;
        } else {
            *why = "expected: item <command> \"text\" [grayed] [checked] | popup \"text\" | separator | end";
            return false;
        }
        for (std::size_t i = flagsAt; i < w.size(); ++i) {
            if (w[i].text == "grayed" && !w[i].quoted)
                item.flags |= kMenuGrayed;
            else if (w[i].text == "checked" && !w[i].quoted)
                item.flags |= kMenuChecked;
            else {
                *why = "unknown menu flag " + w[i].text;
                return false;
            }
        }
        items.push_back(std::move(item));
        if (items.back().kind == MenuItem::Kind::Popup)
            stack_.push_back(&items.back().items);
        return true;
    }

    std::string name_;
    LanguageTables* tables_;
    LanguageTable* table_ = nullptr;
    std::vector<Menu*> stack_;  // open menu levels; pointers stay valid: the back level is the only one that grows
    uint32_t menuId_ = 0;
    int lineNo_ = 0;
};

}  // namespace

bool ParseLangSource(const std::string& text, const std::string& name, LanguageTables* tables, std::string* error)
{
    std::string ignored;
    return Parser(name, tables).run(text, error ? error : &ignored);
}

}  // namespace plat::lang
