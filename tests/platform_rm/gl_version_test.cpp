// What a context's GL_VERSION says, read the same way whichever loader found the
// context: the device needs desktop OpenGL 3.3 and refuses anything else.
#include <gtest/gtest.h>

#include "platform/gl/gl_api.h"

using platform::gl::ParseVersion;

TEST(GlVersion, DesktopAndEsVersionStringsAreToldApart) {
    struct Case {
        const char* text;
        int version;
        bool desktop;
    };
    const Case cases[] = {
        {"4.5 (Core Profile) Mesa 22.3.6", 45, true},
        {"3.3.0 NVIDIA 535.54.03", 33, true},
        {"3.2.9 Compatibility", 32, true},
        {"10.1", 101, true},
        {"OpenGL ES 3.2 Mesa 22.3.6", 32, false},
        {"OpenGL ES-CM 1.1 Mesa", 11, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.version, ParseVersion(c.text).version) << c.text;
        EXPECT_EQ(c.desktop, ParseVersion(c.text).desktop) << c.text;
    }
}

TEST(GlVersion, TextWithoutAVersionGivesNone) {
    for (const char* text : {static_cast<const char*>(nullptr), "", "Mesa", "4", "4.", "4.x", ".3", "OpenGL ES",
                             "OpenGL ES ", "999999999999.3"})
        EXPECT_EQ(0, ParseVersion(text).version) << (text ? text : "(null)");
}
