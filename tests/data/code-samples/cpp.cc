#include <iostream>
#include <memory>
#include <vector>

template <typename T>
class Stack {
public:
    void push(const T &value) { items_.push_back(value); }
    bool empty() const noexcept { return items_.empty(); }

private:
    std::vector<T> items_;
};

int main()
{
    auto stack = std::make_unique<Stack<int>>();
    stack->push(42);
    std::cout << "empty: " << stack->empty() << std::endl;
    return 0;
}
