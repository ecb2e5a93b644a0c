#include "dect/PhoneDevice.h"

PhoneDevice::PhoneDevice() = default;
PhoneDevice::~PhoneDevice() = default;
int PhoneDevice::Open() {
    return 1;
}
int PhoneDevice::PollEvent() {
    eventCode = -1;
    return 0;
}
int PhoneDevice::TakeKeyCode() {
    return 0;
}
int PhoneDevice::Reserved4(int) {
    return 0;
}
int PhoneDevice::Reserved5() {
    return 0;
}
int PhoneDevice::HasPhoneSwitch() {
    return 0;
}
int PhoneDevice::SetSignal(int) {
    return 0;
}
int PhoneDevice::GetFeatureFlag() {
    return 1;
}
int PhoneDevice::Reserved9() {
    return 0;
}
int PhoneDevice::Reserved10(int, int) {
    return 0;
}
int PhoneDevice::Reserved11(int, int) {
    return 0;
}
int PhoneDevice::Reserved12(int, int) {
    return 0;
}
UINT_PTR PhoneDevice::StartTimer(HWND, UINT_PTR, UINT) {
    return 0;
}
int PhoneDevice::NeedsEventThread() {
    return 0;
}
int PhoneDevice::TranslateKey(int) {
    return 0;
}
int PhoneDevice::Reserved16() {
    return 0;
}
int PhoneDevice::Reserved17(int) {
    return 0;
}
int PhoneDevice::Reserved18() {
    return 0;
}
int PhoneDevice::Reserved19(int) {
    return 0;
}
int PhoneDevice::Reserved20(int, int) {
    return 0;
}
