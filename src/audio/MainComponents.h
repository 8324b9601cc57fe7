#pragma once

#include <QString>
#include <functional>
#include <memory>

namespace fr {

class CdRipLibrary;
class TCDRIP;
class TLameCoder;

// The main window's encoder as it is created: every frame flag on, variable bit rate with
// its header; the settings then choose rates and modes.
void configureLameCoder1(TLameCoder& coder);

// The main window's ripper over `library`, configured in the window's order, with the
// encoder attached last. `trackWord` gives the word track titles start with.
std::unique_ptr<TCDRIP> createCdrip1(CdRipLibrary& library, TLameCoder& lameCoder1,
                                     std::function<QString()> trackWord);

} // namespace fr
