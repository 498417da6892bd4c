#pragma once
// What the window passes on to the run logic: the start-up handler and the two buttons.
namespace mvn {

class WindowEvents {
public:
    virtual ~WindowEvents() = default;
    virtual void FormShow() = 0;
    virtual void BtWeiterClick() = 0;
    virtual void BtAbbruchClick() = 0;
    // True while a run started by BtWeiterClick is in progress.
    virtual bool running() const = 0;
};

}  // namespace mvn
