import SwiftUI

struct ContentView: View {
    @State private var count = 0
    @Binding var title: String

    var body: some View {
        VStack(spacing: 12) {
            Text(title)
                .font(.headline)
            Button("Tap me") {
                count += 1
            }
        }
    }

    private func load(from url: URL) throws -> Data {
        guard let data = try? Data(contentsOf: url) else {
            throw URLError(.badURL)
        }
        return data
    }
}
