#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>
#include <vector>

// Many words looked for in a text at once: one pass over the text finds whether it holds any of
// them, however many there are (the Aho–Corasick automaton). Letters compare exactly (UTF-16
// code units): lower-case words and text alike for a search that ignores letter case. Built
// once, then asked from any thread.
class SubstringSet final
{
public:
    SubstringSet() = default;

    // Adds a word before the first question; an empty word is ignored.
    void add(QStringView word);
    // Links the words for searching; called once, after the last add().
    void finish();

    bool isEmpty() const { return m_nodes.size() <= 1; }
    // Whether the text holds any of the words.
    bool containsAny(QStringView text) const;

private:
    struct Node
    {
        // This node's edges in m_edges, sorted by character (after finish()).
        std::uint32_t firstEdge = 0;
        std::uint32_t edgeCount = 0;
        // The longest proper suffix of this node's word that is also a prefix of some word.
        std::uint32_t fallback = 0;
        // Whether a word ends here or at a node its fallbacks reach.
        bool wordEnds = false;
    };
    struct Edge
    {
        char16_t character;
        std::uint32_t target;
    };

    void linkFallbacks();
    // The node reached from `node` by `character`, or none (0 stands for none: the root is
    // never a target).
    std::uint32_t step(std::uint32_t node, char16_t character) const;

    std::vector<Node> m_nodes { Node {} };
    std::vector<Edge> m_edges;
    // The words added, until finish() builds the automaton from them.
    std::vector<QString> m_words;
};
