// Starts, touches the C++ runtime as veskal does, and ends.
#include <string>

int main(int argc, char**) {
    std::string name(static_cast<std::size_t>(argc), 'x');
    return name.size() > 100 ? 1 : 0;
}
