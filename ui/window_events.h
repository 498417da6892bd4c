#pragma once
// What the window passes on to the run logic: the start-up handler and the two buttons.
namespace mvn {

class WindowEvents {
public:
    virtual ~WindowEvents() = default;
    virtual void FormShow() = 0;
    virtual void BtWeiterClick() = 0;
    virtual void BtAbbruchClick() = 0;
    // The window system asks to close the window. True lets it close (the process then ends with
    // exit code 0); false keeps it open. May end the process itself.
    virtual bool FormCloseQuery() = 0;
};

}  // namespace mvn
