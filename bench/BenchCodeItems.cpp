#include "BenchCodeItems.h"

#include "detection/CodePreviewLines.h"
#include "detection/HighlightCacheService.h"
#include "items/ItemRowPainter.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>

namespace {

const char *const languages[] = { "python", "javascript", "go", "rust" };

const char *const templates[] = {
    // python
    "import json\nfrom pathlib import Path\n\n\nclass Journal%1:\n    \"\"\"Entries of one journal.\"\"\"\n\n"
    "    def __init__(self, path: Path, limit: int = 1000) -> None:\n        self.path = path\n"
    "        self.limit = limit\n        self.entries = []\n\n    def load(self) -> int:\n"
    "        with self.path.open(encoding=\"utf-8\") as handle:\n            for number, line in "
    "enumerate(handle):\n"
    "                try:\n                    self.entries.append(json.loads(line))\n"
    "                except ValueError as error:\n                    print(\"line\", number, error)\n"
    "        return len(self.entries)\n\n    def search(self, word: str):\n"
    "        for entry in self.entries[-self.limit:]:\n            if word in entry.get(\"message\", \"\"):\n"
    "                yield entry\n\n\ndef main() -> None:\n    journal = Journal%1(Path(\"journal.log\"))\n"
    "    count = journal.load()\n    print(f\"{count} entries\")\n    for entry in "
    "journal.search(\"error\"):\n"
    "        print(entry)\n\n\nif __name__ == \"__main__\":\n    main()\n# end %1\n# -\n# -\n# -",
    // javascript
    "const express = require('express');\nconst { readFile } = require('fs/promises');\n\n"
    "const app%1 = express();\nconst port = process.env.PORT || 3000;\n\n"
    "async function loadUsers(path) {\n  const text = await readFile(path, 'utf8');\n"
    "  return JSON.parse(text).filter((user) => user.active);\n}\n\n"
    "app%1.get('/users', async (request, response) => {\n  try {\n"
    "    const users = await loadUsers('./users.json');\n    response.json(users.map((u) => ({ id: u.id, "
    "name: u.name })));\n"
    "  } catch (error) {\n    console.error(error);\n    response.status(500).send('failed');\n  }\n});\n\n"
    "app%1.get('/health', (request, response) => {\n  response.send({ ok: true, uptime: process.uptime() "
    "});\n});\n\n"
    "class Cache {\n  constructor(limit = 100) {\n    this.limit = limit;\n    this.entries = new Map();\n  "
    "}\n\n"
    "  get(key) {\n    return this.entries.get(key);\n  }\n}\n\napp%1.listen(port, () => "
    "console.log(`listening on ${port}`));\n// %1",
    // go
    "package main\n\nimport (\n\t\"encoding/json\"\n\t\"fmt\"\n\t\"net/http\"\n\t\"os\"\n)\n\n"
    "type Item%1 struct {\n\tID    int    `json:\"id\"`\n\tName  string `json:\"name\"`\n\tPrice float64 "
    "`json:\"price\"`\n}\n\n"
    "func load(path string) ([]Item%1, error) {\n\tdata, err := os.ReadFile(path)\n\tif err != nil "
    "{\n\t\treturn nil, err\n\t}\n"
    "\tvar items []Item%1\n\terr = json.Unmarshal(data, &items)\n\treturn items, err\n}\n\n"
    "func handler(w http.ResponseWriter, r *http.Request) {\n\titems, err := load(\"items.json\")\n"
    "\tif err != nil {\n\t\thttp.Error(w, err.Error(), http.StatusInternalServerError)\n\t\treturn\n\t}\n"
    "\tjson.NewEncoder(w).Encode(items)\n}\n\nfunc main() {\n\thttp.HandleFunc(\"/items\", handler)\n"
    "\tfmt.Println(http.ListenAndServe(\":8080\", nil))\n}\n// %1",
    // rust
    "use std::collections::HashMap;\nuse std::fs;\n\n#[derive(Debug, Clone)]\npub struct Counter%1 {\n"
    "    words: HashMap<String, usize>,\n}\n\nimpl Counter%1 {\n    pub fn new() -> Self {\n"
    "        Self { words: HashMap::new() }\n    }\n\n    pub fn add(&mut self, text: &str) {\n"
    "        for word in text.split_whitespace() {\n            "
    "*self.words.entry(word.to_lowercase()).or_insert(0) += 1;\n"
    "        }\n    }\n\n    pub fn top(&self, n: usize) -> Vec<(&String, &usize)> {\n"
    "        let mut all: Vec<_> = self.words.iter().collect();\n        all.sort_by(|a, b| b.1.cmp(a.1));\n"
    "        all.into_iter().take(n).collect()\n    }\n}\n\nfn main() -> std::io::Result<()> {\n"
    "    let text = fs::read_to_string(\"book.txt\")?;\n    let mut counter = Counter%1::new();\n"
    "    counter.add(&text);\n    for (word, count) in counter.top(10) {\n        println!(\"{word}: "
    "{count}\");\n"
    "    }\n    Ok(())\n}\n// %1\n// -\n// -",
};

} // namespace

namespace BenchCodeItems {

QString language(int index)
{
    return QString::fromLatin1(languages[index % 4]);
}

QString snippet(int index)
{
    QString text = QString::fromUtf8(templates[index % 4]).arg(index);
    const QString comment = index % 4 == 0 ? QStringLiteral("\n# note %1") : QStringLiteral("\n// note %1");
    for (qsizetype lines = text.count(u'\n') + 1; lines < 40; ++lines)
        text += comment.arg(lines);
    return text;
}

bool appearanceIsDark()
{
    return ItemRowPainter::isDark(QGuiApplication::palette());
}

void insertHighlighted(
    ModelContainer &container, int count, HighlightTheme theme, bool isDark, const QDateTime &start)
{
    std::unique_ptr<ModelContext> context = container.makeContext();
    QList<ClipboardItemPtr> items;
    for (int i = 0; i < count; ++i) {
        ClipboardItemPtr item = ClipboardItem::create(ClipboardItemType::code,
            { .text = snippet(i), .codeLanguage = language(i), .codeConfidence = 90 });
        item->setTimestamp(start.addSecs(i));
        context->insert(item);
        items.append(item);
    }
    context->save();
    HighlightCacheService highlights;
    for (const ClipboardItemPtr &item : std::as_const(items)) {
        highlights.prehighlight(CodePreviewLines::make(*item->textContent()), item,
            HighlightLanguages::forDetectorLabel(*item->codeLanguage()), isDark, theme,
            HighlightCacheService::previewContext(), HighlightCacheService::Priority::background);
    }
    QEventLoop loop;
    QObject::connect(&highlights, &HighlightCacheService::idle, &loop, &QEventLoop::quit);
    if (!highlights.isIdle())
        loop.exec();
}

} // namespace BenchCodeItems
