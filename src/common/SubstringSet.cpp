#include "common/SubstringSet.h"

#include <algorithm>

void SubstringSet::add(QStringView word)
{
    if (!word.isEmpty())
        m_words.push_back(word.toString());
}

void SubstringSet::finish()
{
    // In sorted order each word shares its beginning with the one before: the trie grows along
    // the previous word's path, and each node's edges are made in the order of their characters.
    std::sort(m_words.begin(), m_words.end(), [](const QString &a, const QString &b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
            [](QChar x, QChar y) { return x.unicode() < y.unicode(); });
    });
    struct Made
    {
        std::uint32_t parent;
        Edge edge;
    };
    qsizetype characters = 0;
    for (const QString &word : m_words)
        characters += word.size();
    std::vector<Made> made;
    made.reserve(std::size_t(characters));
    m_nodes.reserve(std::size_t(characters) + 1);
    std::vector<std::uint32_t> path { 0 };
    QStringView previous;
    for (const QString &word : m_words) {
        const qsizetype shared = std::mismatch(word.begin(),
                                     word.begin() + std::min(word.size(), previous.size()), previous.begin())
                                     .first
            - word.begin();
        path.resize(std::size_t(shared) + 1);
        for (qsizetype i = shared; i < word.size(); ++i) {
            const auto node = std::uint32_t(m_nodes.size());
            m_nodes.push_back({});
            made.push_back({ path.back(), { word[i].unicode(), node } });
            path.push_back(node);
        }
        m_nodes[path.back()].wordEnds = true;
        previous = word;
    }
    // Side by side per node, still in the order of their characters.
    std::stable_sort(
        made.begin(), made.end(), [](const Made &a, const Made &b) { return a.parent < b.parent; });
    m_edges.reserve(made.size());
    for (const Made &edge : made) {
        Node &parent = m_nodes[edge.parent];
        if (parent.edgeCount == 0)
            parent.firstEdge = std::uint32_t(m_edges.size());
        ++parent.edgeCount;
        m_edges.push_back(edge.edge);
    }
    m_words.clear();
    m_words.shrink_to_fit();
    linkFallbacks();
}

void SubstringSet::linkFallbacks()
{
    // Breadth first, so that a node's fallback (a shorter word) is complete before the node.
    std::vector<std::uint32_t> queue;
    queue.reserve(m_nodes.size());
    for (std::uint32_t i = 0; i < m_nodes[0].edgeCount; ++i)
        queue.push_back(m_edges[m_nodes[0].firstEdge + i].target);
    for (std::size_t next = 0; next < queue.size(); ++next) {
        const std::uint32_t node = queue[next];
        for (std::uint32_t i = 0; i < m_nodes[node].edgeCount; ++i) {
            const Edge edge = m_edges[m_nodes[node].firstEdge + i];
            std::uint32_t fallback = m_nodes[node].fallback;
            std::uint32_t target = step(fallback, edge.character);
            while (target == 0 && fallback != 0) {
                fallback = m_nodes[fallback].fallback;
                target = step(fallback, edge.character);
            }
            m_nodes[edge.target].fallback = target;
            m_nodes[edge.target].wordEnds = m_nodes[edge.target].wordEnds || m_nodes[target].wordEnds;
            queue.push_back(edge.target);
        }
    }
}

std::uint32_t SubstringSet::step(std::uint32_t node, char16_t character) const
{
    const Node &from = m_nodes[node];
    const auto begin = m_edges.begin() + from.firstEdge;
    const auto end = begin + from.edgeCount;
    const auto found = std::lower_bound(
        begin, end, character, [](const Edge &edge, char16_t c) { return edge.character < c; });
    return found != end && found->character == character ? found->target : 0;
}

bool SubstringSet::containsAny(QStringView text) const
{
    if (isEmpty())
        return false;
    std::uint32_t node = 0;
    for (const QChar c : text) {
        std::uint32_t next = step(node, c.unicode());
        while (next == 0 && node != 0) {
            node = m_nodes[node].fallback;
            next = step(node, c.unicode());
        }
        node = next;
        if (m_nodes[node].wordEnds)
            return true;
    }
    return false;
}
