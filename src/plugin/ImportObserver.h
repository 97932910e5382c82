#pragma once
// How an import run follows its request: log lines and ticks go to the host,
// the progress window shows while the answer arrives and its cancel button
// ends the request, and the screen cursor waits meanwhile. Part of the unit
// ImpApi_tolva_Main.
#include <string>

#include "transport/ImpApiINet.h"

class TImportObserver final : public TRequestObserver {
public:
    // Lines go to the host only with LogToHost; the progress window shows
    // only with ShowProgress.
    TImportObserver(bool LogToHost, bool ShowProgress) : logToHost_(LogToHost), showProgress_(ShowProgress) {}

    bool WantsLog() const override;
    void Log(const std::string &Line) override;
    void Begins() override;
    void Ended() noexcept override;
    void BodyBegins() override;
    void BodyEnded() noexcept override;
    void Tick() override;
    bool Cancelled() override;

private:
    bool logToHost_, showProgress_;
};
