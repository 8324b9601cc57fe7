#include "audio/MainComponents.h"

#include "audio/TCDRIP.h"
#include "audio/TLameCoder.h"

namespace fr {

void configureLameCoder1(TLameCoder& coder) {
    coder.setPrivate(kLongTrue);
    coder.setCopyright(kLongTrue);
    coder.setOriginal(kLongTrue);
    coder.setWriteVBRHeader(kLongTrue);
    coder.setEnableVBR(kLongTrue);
    coder.setDefaultExt(QStringLiteral(".mp3"));
}

std::unique_ptr<TCDRIP> createCdrip1(CdRipLibrary& library, TLameCoder& lameCoder1,
                                     std::function<QString()> trackWord) {
    auto cdrip = std::make_unique<TCDRIP>(library, std::move(trackWord));
    cdrip->setCDRomNum(0);
    TDriveTableClass& table = cdrip->DriveTable();
    table.setDriveType(TDriveType::CUSTOMDRIVE);
    table.setReadMethod(TReadMethod::READMMC);
    table.setSetSpeed(TSetSpeed::SPEEDNONE);
    table.setEndian(TEndian::LITTLEENDIAN);
    table.setEnableMode(TEnableMode::ENABLENONE);
    table.setDensity(0);
    table.setAtapi(true);
    cdrip->setEncode(true);
    cdrip->setVersion(QStringLiteral("111"));
    cdrip->setSpeed(32);
    cdrip->setCoder(&lameCoder1);
    return cdrip;
}

} // namespace fr
