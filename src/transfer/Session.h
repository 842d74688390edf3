#pragma once
// What the setup transfers and the signal-conditioner service work on: the
// meter (through its link), the person at the program, the serial port (the
// corrupt-type answer closes it before the program ends) and the setup held
// in memory with the state a Get leaves. The program owns all of it and
// hands out a Session; tests build one from their own parts.
#include <string>

#include "comm/MeterLink.h"
#include "platform/Operator.h"
#include "platform/SerialPortControl.h"
#include "setup/SetupImage.h"

namespace wm {

struct Session : MeterLink {
    Session(MeterLink meter, Operator& theOperator, SerialPortControl& thePort, SetupImage& image,
            DerivedSetup& derivedValues, std::string& setupFileLine2, int& setupReceived)
        : MeterLink(meter), op(theOperator), port(thePort), setup(image), derived(derivedValues),
          SetupFileLine2(setupFileLine2), SetupReceived(setupReceived) {}

    Operator& op;
    SerialPortControl& port;
    SetupImage& setup;
    DerivedSetup& derived;
    std::string& SetupFileLine2; // "0" after a Get
    int& SetupReceived;          // 1 after a successful Get
};

} // namespace wm
