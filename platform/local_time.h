#pragma once
// A file's last-write time in local time, to the second: what the archive's DOS fields are made from
// and what the restore of an emptied installation directory sets again.
namespace mvn {

struct LocalTime {
    int year = 0;
    int month = 0;  // 1..12
    int day = 0;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    bool operator==(const LocalTime&) const = default;
};

}  // namespace mvn
