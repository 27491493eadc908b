#pragma once
#include <stdexcept>
#include <string>

namespace tabvue {

// Every engine and export failure. The message is the text a user reads.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace tabvue
