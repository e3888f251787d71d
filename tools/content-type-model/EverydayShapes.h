#pragma once

#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

// Everyday texts of many shapes put together from the words of a word list: what people copy
// besides sentences, often of several lines. Lists (bare, with quantities, bullets, numbers,
// check boxes, headings, on one line), to-do lists, log excerpts of web servers, system
// daemons and applications, file paths of every desktop, ids (order and tracking numbers,
// IBANs, UUIDs, hashes, keys), notes of numbers and codes, chat lines with numbers and emoji,
// receipts, recipes and address blocks. The words are split like files: a held-out text is made of held-out
// words.
class EverydayShapes final
{
public:
    EverydayShapes(const std::string &wordList, double testShare,
        const std::function<bool(const std::string &word)> &isHeldOut);

    bool empty() const;

    // A text and the word that decides its side (its group).
    std::pair<std::string, std::string> make(std::mt19937_64 &random);

private:
    std::string word(std::mt19937_64 &random) const;
    std::string name(std::mt19937_64 &random) const;
    std::string item(std::mt19937_64 &random) const;
    std::string phrase(int words, std::mt19937_64 &random) const;

    std::string list(std::mt19937_64 &random) const;
    std::string checklist(std::mt19937_64 &random) const;
    std::string tasks(std::mt19937_64 &random) const;
    std::string webServerLog(std::mt19937_64 &random) const;
    std::string systemLog(std::mt19937_64 &random) const;
    std::string applicationLog(std::mt19937_64 &random) const;
    std::string logMessage(std::mt19937_64 &random) const;
    std::string paths(std::mt19937_64 &random) const;
    std::string windowsPath(std::mt19937_64 &random) const;
    std::string uncPath(std::mt19937_64 &random) const;
    std::string macPath(std::mt19937_64 &random) const;
    std::string unixPath(std::mt19937_64 &random) const;
    std::string fileName(std::mt19937_64 &random) const;
    std::string identifiers(std::mt19937_64 &random) const;
    std::string identifier(std::mt19937_64 &random) const;
    std::string chat(std::mt19937_64 &random) const;
    std::string note(std::mt19937_64 &random) const;
    std::string receipt(std::mt19937_64 &random) const;
    std::string recipe(std::mt19937_64 &random) const;
    std::string addressBlock(std::mt19937_64 &random) const;

    std::vector<std::string> m_words[2];
    std::vector<std::string> m_names[2];
    double m_testShare = 0.2;
    bool m_side = false;
};
