// The Skype peer driver of the Skype tests, built into this program as well.
#include "tests/skype/SkypeTestSupport.cpp"
