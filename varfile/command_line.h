// Command-line pieces every program shares: the "/x or -x, any case" switch
// matcher, a cursor over the arguments and the usage printer.
#pragma once

#include <cstdio>

namespace varkit {

// A switch begins with '/' or '-'; only the character after it counts. An
// argument that begins with '/' and holds a further '/' is an absolute path.
bool is_switch(const char* argument);

// The upper-case switch character ('\0' for a bare "/" or "-").
char switch_letter(const char* argument);

// Walks argv[1] .. argv[argc - 1] in order.
class Arguments {
  public:
    Arguments(int argc, char** argv) : argc_(argc), argv_(argv) {}
    bool done() const { return index_ >= argc_; }
    // The next argument; only call when not done().
    const char* next() { return argv_[index_++]; }
    // A switch's value: the whole next argument whatever it starts with, or
    // nullptr when the switch stood last.
    const char* take_value() { return done() ? nullptr : next(); }

  private:
    int argc_;
    char** argv_;
    int index_ = 1;
};

// Prints "<program> <version>" and then the usage text, with every "%s" of
// the text replaced by the program's name.
void print_usage(std::FILE* out, const char* program, const char* version, const char* text);

}  // namespace varkit
