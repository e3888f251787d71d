use std::collections::HashMap;

#[derive(Debug, Clone)]
struct Word {
    text: String,
    count: usize,
}

fn count_words(input: &str) -> HashMap<String, usize> {
    let mut counts = HashMap::new();
    for word in input.split_whitespace() {
        *counts.entry(word.to_lowercase()).or_insert(0) += 1;
    }
    counts
}

fn main() {
    let counts = count_words("the cat and the hat");
    match counts.get("the") {
        Some(n) => println!("the: {}", n),
        None => println!("no match"),
    }
}
