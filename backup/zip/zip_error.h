#pragma once
// Every failure while writing, reading or walking an archive arrives as this one type, so the archive
// step can turn any of them into its failure result without sorting them first.
#include <stdexcept>
#include <string>

namespace mvn {

class ZipError : public std::runtime_error {
public:
    explicit ZipError(const std::string& what) : std::runtime_error(what) {}
};

}  // namespace mvn
