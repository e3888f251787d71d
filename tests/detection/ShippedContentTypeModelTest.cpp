// The committed content-type model, as the application loads it from its resources.
#include "detection/MagikaDetectionCoreML.h"

#include "platform/Bundle.h"

#include <gtest/gtest.h>

#include <QSet>

namespace {

// The text labels of the code-detection service: these never make an item code.
const QSet<QString> textLabels = { "txt", "randombytes", "randomtxt", "csv", "tsv", "markdown", "rst", "eml",
    "srt", "vtt", "sum", "po", "bib" };

struct Sample
{
    const char *label;
    const char *text;
};

// Pieces of code as people copy them: a few lines, often without the file's head.
const Sample codeSamples[] = {
    { "python",
        "def load(path):\n    with open(path, encoding='utf-8') as f:\n        return [line.strip() for line "
        "in f if line]\n" },
    { "python", "import os\nimport sys\n\nif __name__ == '__main__':\n    sys.exit(main(sys.argv[1:]))\n" },
    { "javascript",
        "const items = await fetch('/api/items').then(r => r.json());\nitems.forEach(item => {\n  "
        "console.log(item.id);\n});\n" },
    { "javascript",
        "module.exports = function (req, res, next) {\n  if (!req.user) return res.status(401).end();\n  "
        "next();\n};\n" },
    { "typescript",
        "export interface User {\n  id: number;\n  name: string;\n  email?: string;\n}\n\nexport function "
        "isAdmin(u: User): boolean {\n  return u.id === 0;\n}\n" },
    { "java",
        "public final class Point {\n    private final int x;\n    private final int y;\n\n    public "
        "Point(int x, int y) {\n        this.x = x;\n        this.y = y;\n    }\n}\n" },
    { "c",
        "#include <stdio.h>\n#include <stdlib.h>\n\nint main(void)\n{\n\tchar *buf = malloc(64);\n\tif "
        "(!buf)\n\t\treturn 1;\n\tfree(buf);\n\treturn 0;\n}\n" },
    { "cpp",
        "#include <vector>\n#include <algorithm>\n\ntemplate <typename T>\nvoid sortAll(std::vector<T> "
        "&v)\n{\n    std::sort(v.begin(), v.end());\n}\n" },
    { "go",
        "func (s *Server) Start(ctx context.Context) error {\n\tln, err := net.Listen(\"tcp\", s.addr)\n\tif "
        "err != nil {\n\t\treturn err\n\t}\n\treturn s.serve(ctx, ln)\n}\n" },
    { "rust",
        "impl Display for Error {\n    fn fmt(&self, f: &mut Formatter<'_>) -> fmt::Result {\n        "
        "write!(f, \"{}\", self.message)\n    }\n}\n" },
    { "ruby",
        "class User < ApplicationRecord\n  has_many :posts\n  validates :email, presence: true\n\n  def "
        "display_name\n    \"#{first_name} #{last_name}\"\n  end\nend\n" },
    { "perl",
        "use strict;\nuse warnings;\n\nmy %count;\nwhile (my $line = <STDIN>) {\n    chomp $line;\n    "
        "$count{$line}++;\n}\n" },
    { "php",
        "<?php\n\nnamespace App\\Http;\n\nclass Controller\n{\n    public function index(Request $request): "
        "Response\n    {\n        return new Response('ok');\n    }\n}\n" },
    { "shell",
        "#!/bin/sh\nset -e\nfor f in \"$@\"; do\n    if [ -f \"$f\" ]; then\n        echo \"removing $f\"\n  "
        "      rm -- \"$f\"\n    fi\ndone\n" },
    { "lua",
        "local M = {}\n\nfunction M.map(t, fn)\n  local out = {}\n  for i, v in ipairs(t) do\n    out[i] = "
        "fn(v)\n  end\n  return out\nend\n\nreturn M\n" },
    { "sql",
        "CREATE TABLE orders (\n    id SERIAL PRIMARY KEY,\n    customer_id INTEGER NOT NULL REFERENCES "
        "customers(id),\n    total NUMERIC(10, 2)\n);\n" },
    { "html",
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n  <meta charset=\"utf-8\">\n  "
        "<title>Home</title>\n</head>\n<body>\n  <h1>Welcome</h1>\n</body>\n</html>\n" },
    { "css",
        ".card {\n  display: flex;\n  padding: 12px 16px;\n  border-radius: 8px;\n  background: "
        "#fafafa;\n}\n\n.card:hover {\n  box-shadow: 0 2px 4px rgba(0, 0, 0, 0.2);\n}\n" },
    { "xml",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<project>\n  <modelVersion>4.0.0</modelVersion>\n  "
        "<groupId>org.example</groupId>\n  <artifactId>demo</artifactId>\n</project>\n" },
    { "json",
        "{\n  \"name\": \"demo\",\n  \"version\": \"1.2.0\",\n  \"dependencies\": {\n    \"left-pad\": "
        "\"^1.3.0\"\n  }\n}\n" },
    { "yaml",
        "name: build\non:\n  push:\n    branches: [main]\njobs:\n  test:\n    runs-on: ubuntu-latest\n    "
        "steps:\n      - uses: actions/checkout@v4\n" },
    { "toml",
        "[package]\nname = \"demo\"\nversion = \"0.1.0\"\nedition = \"2021\"\n\n[dependencies]\nserde = { "
        "version = \"1\", features = [\"derive\"] }\n" },
    { "ini",
        "[Unit]\nDescription=Demo service\nAfter=network.target\n\n[Service]\nExecStart=/usr/bin/demo "
        "--serve\nRestart=on-failure\n" },
    { "makefile",
        "CFLAGS += -O2 -Wall\n\nall: demo\n\ndemo: main.o util.o\n\t$(CC) $(LDFLAGS) -o $@ "
        "$^\n\nclean:\n\trm -f demo *.o\n" },
    { "cmake",
        "cmake_minimum_required(VERSION 3.16)\nproject(demo LANGUAGES CXX)\n\nadd_executable(demo "
        "main.cpp)\ntarget_link_libraries(demo PRIVATE Qt6::Core)\n" },
    { "diff",
        "--- a/src/main.c\n+++ b/src/main.c\n@@ -10,7 +10,7 @@ int main(void)\n {\n-    int n = 0;\n+    int "
        "n = 1;\n     return n;\n }\n" },
    { "latex",
        "\\documentclass{article}\n\\usepackage{amsmath}\n\\begin{document}\n\\section{Introduction}\nLet $x "
        "\\in \\mathbb{R}$.\n\\end{document}\n" },
    { "dockerfile",
        "FROM debian:12\nRUN apt-get update && apt-get install -y --no-install-recommends curl \\\n    && rm "
        "-rf /var/lib/apt/lists/*\nCOPY . /app\nWORKDIR /app\nCMD [\"./run.sh\"]\n" },
};

// Prose people copy: messages, paragraphs, notes, addresses.
const char *proseSamples[] = {
    "Hi Anna,\n\nthanks for sending the report. I had a look at the figures and they seem fine to me. "
    "Could we meet on Thursday to go through the last section?\n\nBest regards,\nTom\n",
    "The museum opens at nine in the morning and closes at six. Tickets can be bought at the entrance or "
    "online, "
    "and children under twelve get in for free.",
    "Remember to buy milk, eggs and bread on the way home. Also pick up the parcel from the post office "
    "before five.",
    "In the beginning the project was small: two people, one room and a borrowed computer. Over the years it "
    "grew "
    "into a company of forty, but the habit of eating lunch together never went away.",
    "Meeting notes\n\nAttendees: Sara, Jonas, Mei\n\nWe agreed to postpone the release by one week so that "
    "the "
    "translations can be finished. Jonas will tell the customers on Monday.\n",
    "Please find attached the signed contract. Let me know if anything is missing and I will send it right "
    "away.",
    "The weather was awful all week, so we stayed inside, played cards and read the books we had brought. "
    "On the last day the sun finally came out and we walked along the beach until it was dark.",
    "Dear customer, your order has been shipped and should arrive within three to five working days. "
    "You can follow the delivery with the tracking number in your account.",
    "It is a truth universally acknowledged, that a single man in possession of a good fortune, must be in "
    "want of a wife.",
    "John Smith\n42 Elm Street\nSpringfield, IL 62704\nUnited States\n",
    "Can you send me the slides from yesterday's presentation? I would like to share them with the team.",
    "Chapter 3\n\nThe train was late again, and Martha had almost given up waiting when she saw its lights "
    "coming round the bend. She picked up her bag and stepped closer to the edge of the platform.",
    "Ingredients: 200 g flour, 100 g butter, 2 eggs and a pinch of salt. Mix everything and bake for 25 "
    "minutes.",
    "Happy birthday! Wishing you a wonderful year full of joy, good friends and new adventures.",
    "The quarterly results show a 12% increase in revenue compared to last year, mostly due to strong sales "
    "in Europe.",
    "Note to self: renew the passport before the trip in March, and ask Paul about the hotel.",
    "He said he would call back after lunch, but he never did, and by evening we had stopped expecting him.",
    "- apples\n- pears\n- two lemons\n- a bag of rice\n- washing-up liquid\n",
    "2024-05-14 09:12:33 INFO Server started on port 8080\n2024-05-14 09:12:35 WARN Cache directory missing, "
    "creating it\n2024-05-14 09:13:02 ERROR Connection to db.internal timed out after 30 s\n",
    "https://www.example.com/articles/2024/05/how-to-grow-tomatoes-on-a-balcony?utm_source=newsletter",
    "Step one: unplug the router. Step two: wait thirty seconds. Step three: plug it back in and wait until "
    "the "
    "light turns green. If it stays orange, call the help line.",
};

class ShippedContentTypeModelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (Bundle::pathForResource(QStringLiteral("Magika"), QStringLiteral("mlmodelc")).isEmpty())
            FAIL() << "Magika.mlmodelc is missing from " << Bundle::resourceDirectory().toStdString();
        ASSERT_TRUE(m_runner.loadModel());
    }

    MagikaDetectionCoreML m_runner;
};

} // namespace

TEST_F(ShippedContentTypeModelTest, HonoursTheContract)
{
    const QStringList labels = m_runner.labels();
    EXPECT_GE(labels.size(), 40);
    EXPECT_EQ(QSet<QString>(labels.begin(), labels.end()).size(), labels.size()) << "labels repeat";
    for (const char *label : { "python", "javascript", "typescript", "java", "c", "cpp", "go", "rust", "ruby",
             "perl", "php", "shell", "lua", "sql", "html", "css", "xml", "json", "yaml", "toml", "ini",
             "makefile", "cmake", "markdown", "rst", "latex", "diff", "csv", "tsv", "txt" })
        EXPECT_TRUE(labels.contains(QLatin1String(label))) << label;
    // Every label is one the application knows: a code label or a text label, or "pem".
    for (const QString &label : labels)
        EXPECT_TRUE(MagikaDetectionCoreML::knownCodeLabels().contains(label) || textLabels.contains(label)
            || label == QStringLiteral("pem"))
            << label.toStdString();

    const QList<MagikaDetectionCoreML::DetectionResult> all
        = m_runner.predictTopK(QStringLiteral("warmup"), 1000);
    ASSERT_EQ(all.size(), labels.size());
    float sum = 0;
    for (const MagikaDetectionCoreML::DetectionResult &r : all)
        sum += r.confidence;
    EXPECT_NEAR(sum, 1.0f, 1e-4);
}

// A statistical model may miss a sample; it must get nine in ten of each kind right.
TEST_F(ShippedContentTypeModelTest, NamesCopiedCodeAndProse)
{
    QStringList misses;
    int codeRight = 0;
    for (const Sample &sample : codeSamples) {
        const std::optional<MagikaDetectionCoreML::DetectionResult> best
            = m_runner.predict(QString::fromUtf8(sample.text));
        ASSERT_TRUE(best.has_value());
        if (best->label == QLatin1String(sample.label))
            ++codeRight;
        else
            misses.append(QStringLiteral("%1 taken for %2").arg(QLatin1String(sample.label), best->label));
    }
    int proseRight = 0;
    for (const char *text : proseSamples) {
        const std::optional<MagikaDetectionCoreML::DetectionResult> best
            = m_runner.predict(QString::fromUtf8(text));
        ASSERT_TRUE(best.has_value());
        if (textLabels.contains(best->label))
            ++proseRight;
        else
            misses.append(
                QStringLiteral("prose taken for %1: %2").arg(best->label, QString::fromUtf8(text).left(40)));
    }
    EXPECT_GE(codeRight * 10, int(std::size(codeSamples)) * 9) << misses.join(u'\n').toStdString();
    EXPECT_GE(proseRight * 10, int(std::size(proseSamples)) * 9) << misses.join(u'\n').toStdString();
}
