#pragma once

#include "display/yuvmatrix.h"

#include <QOpenGLFunctions_2_0>
#include <QSize>

#include <array>
#include <memory>

class QOpenGLShaderProgram;
class VideoPicture;

// The YUV side of the video widget: the three planes of a YUV 4:2:0
// picture in three single-channel textures, and the fragment program that
// makes RGB of them with the picture's own matrix and range. Runs in a
// compatibility profile (GLSL 1.20), so the widget's fixed-function
// transform and display list draw it. Every call needs the widget's
// context current.
class YuvTextures final : protected QOpenGLFunctions_2_0
{
public:
    YuvTextures();
    ~YuvTextures();
    Q_DISABLE_COPY_MOVE(YuvTextures)

    // Compiles the program and makes the textures; false (with a warning)
    // when the context cannot run it.
    bool initialize();
    bool isReady() const { return m_program != nullptr; }
    // Copies the planes of a YUV420P slot; false for any other slot.
    bool upload(const VideoPicture &picture);
    // Draws the display list with the planes and the program bound.
    void draw(unsigned displayList);
    void release();

    // The widest row alignment (8, 4, 2 or 1) that rows of lineSize bytes
    // allow, as glPixelStorei(GL_UNPACK_ALIGNMENT) wants it: rows whose
    // length is no multiple of OpenGL's default 4 would shear the picture.
    static int rowAlignment(int lineSize);

private:
    std::unique_ptr<QOpenGLShaderProgram> m_program;
    std::array<unsigned, 3> m_textures{}; // Y, U, V
    std::array<QSize, 3> m_sizes;          // of each texture as last made
    YuvMatrix m_colour = YuvMatrix::forStream(0, false);
};
