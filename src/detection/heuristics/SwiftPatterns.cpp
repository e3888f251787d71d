#include "detection/heuristics/HeuristicPatternTables.h"

// What swift code looks like, line by line. The negative entries hold back code of other
// languages that shares some of these shapes.
std::span<const HeuristicPattern> HeuristicPatternTables::swiftPatterns()
{
    static constexpr HeuristicPattern table[] = {
        { R"re(\bguard\s+(let|var)\b)re", 5 },
        { R"re(@(State|Binding|Published|ObservedObject|EnvironmentObject|Environment|AppStorage|SceneStorage|FocusState|FetchRequest|Query)\b)re",
            5 },
        { R"re(\bsome\s+(View|Body)\b)re", 4 },
        { R"re(\bif\s+let\s+\w+)re", 3 },
        { R"re(\bimport\s+(Foundation|SwiftUI|UIKit|AppKit|Combine|SwiftData|CoreData|MapKit|AVFoundation)\b)re",
            4, nearTop },
        { R"re(\bfunc\s+\w+\s*\([^)]*\)\s*(throws\s+)?->)re", 3 },
        { R"re(\bvar\s+\w+\s*:\s*(some\s+)?\w+)re", 3 },
        { R"re(\blet\s+\w+\s*:\s*\w+)re", 3 },
        { R"re(\b(struct|protocol|extension|typealias)\s+\w+)re", 3 },
        { R"re(\benum\s+\w+\s*:)re", 3 },
        { R"re(\b(weak|unowned)\s+(var|let)\b)re", 3 },
        { R"re(\b(private|public|internal|fileprivate|open)\s+(func|var|let|class|struct|enum)\b)re", 2 },
        { R"re(\.(map|filter|reduce|compactMap|flatMap|forEach)\s*[{(])re", 2 },
        { R"re(\btry\s*([\?!])?\s+\w+)re", 2 },
        { R"re(\bas\??\s+\w+)re", 2 },
        { R"re(\b(actor|macro)\s+\w+)re", 4 },
        { R"re(\b(willSet|didSet)\s*\{)re", 4 },
        { R"re(@(autoclosure|escaping|discardableResult|main|Sendable|testable)\b)re", 4 },
        { R"re(\b(fatalError|preconditionFailure|assertionFailure)\s*\()re", 3 },
        { R"re(#(if|elseif|else|endif|error|warning)\b)re", 2 },
        { R"re(\binout\s+\w+)re", 3 },
        { R"re(\bfallthrough\b)re", 3 },
        { R"re(\bdef\s+\w+\(.*\)\s*:)re", -3 },
        { R"re(\bfunction\s+\w+\s*\()re", -2 },
        { R"re(\bconsole\.(log|warn|error)\()re", -3 },
    };
    return table;
}
