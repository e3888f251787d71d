// Short texts through the whole detection road with the shipped content-type model: the
// everyday lines people copy must stay plain text, and short code lines that the pattern
// heuristics leave to the model must still be code.
#include "detection/CodeDetectionService.h"
#include "detection/HeuristicCodeDetection.h"
#include "detection/MagikaDetectionCoreML.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <iostream>

namespace {

// Everyday texts of at most a hundred characters: none of them is code.
constexpr const char *everydayTexts[] = {
    // sentences and chat
    "nothing here looks like code at all, just words",
    "Flight LH 1234 departs Frankfurt at 07:45 and arrives in Lisbon at 09:50 local time.",
    "See you tomorrow at 10!",
    "Can you pick up the kids at 4:30 today?",
    "I'm running ten minutes late, sorry :(",
    "lol that's hilarious, send me the video",
    "ok sounds good, talk later",
    "Where did you park the car?",
    "Don't forget to water the plants while I'm away!",
    "Thanks so much for the flowers, they are beautiful.",
    "Wir sehen uns morgen um acht Uhr am Bahnhof.",
    "The password reset link expires in 24 hours.",
    // e-mail lines
    "Best regards,\nAnna Schmidt",
    "Please find the signed contract attached.",
    "Hi Tom, here is the report: https://example.com/reports/q3-2024.pdf",
    "john.doe@example.com",
    // addresses
    "221B Baker Street, London NW1 6XE",
    "1600 Pennsylvania Avenue NW, Washington, DC 20500",
    "Hauptstraße 5, 10115 Berlin, Germany",
    "Room 4.12, second floor, building C",
    // dates, times, amounts, numbers
    "Tuesday, 14 March 2023",
    "2024-06-01 at 14:30",
    "Mon-Fri 9:00-17:00, Sat 10:00-14:00",
    "Total: $1,234.56 (incl. VAT)",
    "EUR 1.299,00",
    "Q3 revenue up 8% to $4.2M",
    "3.14159265358979",
    "1 kg = 2.2 lb",
    "Temperature tomorrow: 23 °C, light rain",
    // phone and order numbers, references
    "+1 (555) 123-4567",
    "+49 30 12345678",
    "Order #A-2024-00817",
    "Your order number is 112-4567890-1234567.",
    "Tracking number: 1Z999AA10123456784",
    "ISBN 978-3-16-148410-0",
    "Invoice 2023-0456 due 30 June",
    "Wi-Fi password: sunflower42",
    // names, titles, single words
    "Dr. Martin Luther King Jr.",
    "Mr. and Mrs. Smith",
    "The Lord of the Rings: The Fellowship of the Ring",
    "Chapter 7: The Return of the King",
    "The Beatles - Let It Be (1970)",
    "serendipity",
    "Wednesday",
    "WINTER SALE - up to 50% off everything",
    // a tweet, to-do lines, status lines
    "Just landed in Tokyo! Can't wait to explore the city #travel #japan",
    "- [ ] buy groceries",
    "TODO: call the dentist tomorrow morning",
    "Reminder: dentist appointment on Friday at 9:15",
    "Status: all systems operational",
    "Delivered, signed by J. Miller",
    "Page 12 of 48",
    "Gate B22 closes at 18:05",
    "3 eggs, 200 g flour, 1 cup milk",
};

// Short code that neither a "#!" line nor the pattern heuristics recognise: the model
// decides each of them.
constexpr const char *codeLines[] = {
    "x = [n * n for n in numbers]",
    "a, b = b, a + b",
    "def area(r): return 3.14 * r ** 2",
    "self.items.append(item)",
    "elif x == 0:",
    "df = pd.read_csv(\"data.csv\")",
    "s.split(\",\")[0].strip()",
    "result = await client.get(url)",
    "return items.filter(Boolean);",
    "items.map(x => x * 2)",
    "const [count, setCount] = useState(0);",
    "obj?.value ?? defaultValue",
    "throw new Error('oops');",
    "list.forEach(System.out::println);",
    "while (i < n) i++;",
    "int main(void) { return 0; }",
    "printf(\"%d\\n\", count);",
    "ptr->next = NULL;",
    "char buf[256];",
    "a[i] = b[i] + c[i];",
    "total += price * qty",
    "#define MAX 100",
    "std::vector<int> v{1, 2, 3};",
    "if err != nil { return err }",
    "fmt.Println(\"hello\")",
    "m := map[string]int{}",
    "xs.iter().map(|x| x * 2).collect::<Vec<_>>()",
    "$x = array_map('trim', $lines);",
    "puts \"hello\" if ready?",
    "ls -la /var/log | grep error",
    "export PATH=$HOME/bin:$PATH",
    "mkdir -p build && cd build",
    "echo \"done\" >> log.txt",
    "git commit -m \"fix typo\"",
    "<td>{{ item.price }}</td>",
};

class ShortTextDetectionTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(MagikaDetectionCoreML::shared().loadModel()); }

    // How many of texts the service calls code; those it answers otherwise than expectedCode
    // go to misses.
    template <size_t N> int countCode(const char *const (&texts)[N], bool expectedCode, QStringList &misses)
    {
        int code = 0;
        for (const char *text : texts) {
            // Texts this short meet the service's lowest threshold: the hardest case.
            EXPECT_LE(QString::fromUtf8(text).size(), 100) << text;
            const CodeDetectionService::DetectionResult result = m_service.detectNow(QString::fromUtf8(text));
            code += result.isCode ? 1 : 0;
            if (result.isCode != expectedCode)
                misses.append(QString::fromUtf8(text) + QStringLiteral(" -> ")
                    + result.topLabel.value_or(QStringLiteral("none")));
        }
        return code;
    }

    CodeDetectionService m_service { std::shared_ptr<ContentTypeClassifier>(
        &MagikaDetectionCoreML::shared(), [](ContentTypeClassifier *) {}) };
};

} // namespace

TEST_F(ShortTextDetectionTest, EverydayTextsAreNotCode)
{
    QStringList misses;
    const int code = countCode(everydayTexts, false, misses);
    const int total = int(std::size(everydayTexts));
    std::cout << "[ short texts ] " << total - code << " of " << total << " not code"
              << (misses.isEmpty() ? "" : "; code: ") << misses.join(QStringLiteral(", ")).toStdString()
              << std::endl;
    EXPECT_GE((total - code) * 100, total * 95) << misses.join(u'\n').toStdString();
}

TEST_F(ShortTextDetectionTest, ShortCodeLinesAreCode)
{
    QStringList misses;
    const int code = countCode(codeLines, true, misses);
    const int total = int(std::size(codeLines));
    std::cout << "[ short code ] " << code << " of " << total << " code"
              << (misses.isEmpty() ? "" : "; not code: ") << misses.join(QStringLiteral(", ")).toStdString()
              << std::endl;
    EXPECT_GE(code * 100, total * 85) << misses.join(u'\n').toStdString();
}

// The code lines above test the model only while the heuristics leave them to it.
TEST(ShortTextDetectionHeuristicsTest, CodeLinesAreLeftToTheModel)
{
    for (const char *text : codeLines)
        EXPECT_FALSE(HeuristicCodeDetection::shared().detect(QString::fromUtf8(text)).isCode) << text;
}
