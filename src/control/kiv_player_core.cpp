// The face forwards to the core behind it.
#include "control/kiv_player_core.h"

#include "control/core_impl.h"

namespace kiv {

TKivPlayerCore::TKivPlayerCore(TWindowTarget* window, IKivPlayerEvents* events, IControlView* view,
                               IRetryTimer* retryTimer, TOptions options)
    : FCore(std::make_unique<TCore>(window, events, view, retryTimer, std::move(options))) {}
TKivPlayerCore::TKivPlayerCore(TWindowTarget* window, IKivPlayerEvents* events, IControlView* view,
                               IRetryTimer* retryTimer)
    : TKivPlayerCore(window, events, view, retryTimer, TOptions{}) {}
TKivPlayerCore::~TKivPlayerCore() = default;

HRESULT TKivPlayerCore::Open(const std::string& address) {
    return FCore->Open(address);
}
HRESULT TKivPlayerCore::Close() {
    return FCore->Close();
}
HRESULT TKivPlayerCore::Play() {
    return FCore->Play();
}
HRESULT TKivPlayerCore::Pause() {
    return FCore->Pause();
}
HRESULT TKivPlayerCore::Stop() {
    return FCore->Stop();
}
HRESULT TKivPlayerCore::FastForward() {
    return FCore->FastForward();
}
HRESULT TKivPlayerCore::FastReverse() {
    return FCore->FastReverse();
}
HRESULT TKivPlayerCore::GetCurrentPosition(int32_t* ms) {
    return FCore->GetCurrentPosition(ms);
}
HRESULT TKivPlayerCore::SetCurrentPosition(int32_t ms) {
    return FCore->SetCurrentPosition(ms);
}
HRESULT TKivPlayerCore::GetURL(std::string* url) {
    return FCore->GetURL(url);
}
HRESULT TKivPlayerCore::SetURL(const std::string& url) {
    return FCore->SetURL(url);
}
HRESULT TKivPlayerCore::GetDisplayMode(TDisplayMode* mode) {
    return FCore->GetDisplayMode(mode);
}
HRESULT TKivPlayerCore::SetDisplayMode(int32_t mode) {
    return FCore->SetDisplayMode(mode);
}
HRESULT TKivPlayerCore::GetFullScreen(bool* on) {
    return FCore->GetFullScreen(on);
}
HRESULT TKivPlayerCore::SetFullScreen(bool on) {
    return FCore->SetFullScreen(on);
}

TStatus TKivPlayerCore::PlayState() const {
    return FCore->PlayState();
}
TDisplayMode TKivPlayerCore::DisplayMode() const {
    return FCore->DisplayMode();
}
bool TKivPlayerCore::AutoStart() const {
    return FCore->AutoStart();
}
void TKivPlayerCore::SetAutoStart(bool on) {
    FCore->SetAutoStart(on);
}
uint16_t TKivPlayerCore::KivWidth() const {
    return FCore->KivWidth();
}
uint16_t TKivPlayerCore::KivHeight() const {
    return FCore->KivHeight();
}
uint32_t TKivPlayerCore::Duration() const {
    return FCore->Duration();
}
void TKivPlayerCore::SetPageUrl(std::string url) {
    FCore->SetPageUrl(std::move(url));
}
const std::string& TKivPlayerCore::CacheFolder() const {
    return FCore->CacheFolder();
}
TStatistics TKivPlayerCore::Statistics() const {
    return FCore->Statistics();
}
const IPictureSource& TKivPlayerCore::Picture() const {
    return FCore->Picture();
}

void TKivPlayerCore::ChooseAdaptive() {
    FCore->ChooseAdaptive();
}
void TKivPlayerCore::ChooseOriginal() {
    FCore->ChooseOriginal();
}
void TKivPlayerCore::ChooseFullScreen() {
    FCore->ChooseFullScreen();
}
void TKivPlayerCore::LeaveFullScreen() {
    FCore->LeaveFullScreen();
}
void TKivPlayerCore::FullScreenClosed() {
    FCore->FullScreenClosed();
}
void TKivPlayerCore::RefreshPicture() {
    FCore->RefreshPicture();
}
void TKivPlayerCore::RelayoutThumbnails(int32_t count) {
    FCore->RelayoutThumbnails(count);
}
void TKivPlayerCore::HandleMessage(const TMessage& m) {
    FCore->HandleMessage(m);
}
void TKivPlayerCore::StepOn() {
    FCore->StepOn();
}

HRESULT TKivPlayerCore::SetRate(double rate) {
    return FCore->SetRate(rate);
}
double TKivPlayerCore::Rate() const {
    return FCore->Rate();
}
HRESULT TKivPlayerCore::SetSkipIdle(bool on) {
    return FCore->SetSkipIdle(on);
}
bool TKivPlayerCore::SkipIdle() const {
    return FCore->SkipIdle();
}
HRESULT TKivPlayerCore::SetIdleThreshold(int32_t ms) {
    return FCore->SetIdleThreshold(ms);
}
int32_t TKivPlayerCore::IdleThreshold() const {
    return FCore->IdleThreshold();
}
HRESULT TKivPlayerCore::SetIdleCap(int32_t ms) {
    return FCore->SetIdleCap(ms);
}
int32_t TKivPlayerCore::IdleCap() const {
    return FCore->IdleCap();
}
void TKivPlayerCore::SetPauseOnMarker(bool on) {
    FCore->SetPauseOnMarker(on);
}
bool TKivPlayerCore::PauseOnMarker() const {
    return FCore->PauseOnMarker();
}
std::vector<TActivitySecond> TKivPlayerCore::Activity() const {
    return FCore->Activity();
}
std::vector<TMarker> TKivPlayerCore::Markers() const {
    return FCore->Markers();
}
std::vector<TIdleStretch> TKivPlayerCore::IdleStretches() const {
    return FCore->IdleStretches();
}
HRESULT TKivPlayerCore::NextMarker() {
    return FCore->NextMarker();
}
HRESULT TKivPlayerCore::PreviousMarker() {
    return FCore->PreviousMarker();
}

const char* FailureCaption(TFailureKind kind) {
    return kind == TFailureKind::CacheFolder ? "File" : "KivPlayer";
}

std::shared_ptr<TPlayClock> MakeVirtualClock(int64_t holdAfterMs) {
    return std::make_shared<TVirtualClock>(holdAfterMs);
}

std::shared_ptr<TPlayClock> MakeSteppingClock(int64_t holdAfterMs, int64_t stepAfterMs) {
    return std::make_shared<TVirtualClock>(holdAfterMs, std::function<void()>{}, true, stepAfterMs);
}

} // namespace kiv
