// An error inside a template, reported with the instantiation that caused it.
template <typename T> int length(T value) { return value.size(); }

struct Box {};

int measure() { return length(3) + length(Box{}); }
