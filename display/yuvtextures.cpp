#include "display/yuvtextures.h"

#include "media/videopicture.h"

#include <QGenericMatrix>
#include <QLoggingCategory>
#include <QOpenGLShaderProgram>
#include <QVector3D>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}

Q_LOGGING_CATEGORY(lcYuv, "vantiro.display.yuv", QtWarningMsg)

namespace {

const char *const vertexSource = R"(#version 120
varying vec2 texCoord;
void main()
{
    texCoord = gl_MultiTexCoord0.xy;
    gl_Position = ftransform();
}
)";

const char *const fragmentSource = R"(#version 120
uniform sampler2D planeY;
uniform sampler2D planeU;
uniform sampler2D planeV;
uniform mat3 yuvToRgb;
uniform vec3 yuvOffset;
varying vec2 texCoord;
void main()
{
    vec3 yuv = vec3(texture2D(planeY, texCoord).r, texture2D(planeU, texCoord).r,
                    texture2D(planeV, texCoord).r);
    gl_FragColor = vec4(clamp(yuvToRgb * (yuv - yuvOffset), 0.0, 1.0), 1.0);
}
)";

} // namespace

int YuvTextures::rowAlignment(int lineSize)
{
    int alignment = 8;
    while (lineSize > 0 && lineSize % alignment != 0)
        alignment /= 2;
    return alignment;
}

YuvTextures::YuvTextures() = default;

YuvTextures::~YuvTextures() = default;

bool YuvTextures::initialize()
{
    initializeOpenGLFunctions();
    auto program = std::make_unique<QOpenGLShaderProgram>();
    if (!program->addShaderFromSourceCode(QOpenGLShader::Vertex, vertexSource)
        || !program->addShaderFromSourceCode(QOpenGLShader::Fragment, fragmentSource)
        || !program->link()) {
        qCWarning(lcYuv).noquote() << "the YUV program does not build:" << program->log();
        return false;
    }
    program->bind();
    program->setUniformValue("planeY", 0);
    program->setUniformValue("planeU", 1);
    program->setUniformValue("planeV", 2);
    program->release();
    m_program = std::move(program);

    glGenTextures(3, m_textures.data());
    for (unsigned texture : m_textures) {
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    }
    m_sizes = {};
    return true;
}

bool YuvTextures::upload(const VideoPicture &picture)
{
    if (!m_program || picture.pixelFormat != AV_PIX_FMT_YUV420P || !picture.frame)
        return false;
    const AVFrame *frame = picture.frame;
    const QSize luma(picture.width, picture.height);
    const QSize chroma((picture.width + 1) / 2, (picture.height + 1) / 2);
    for (int plane = 0; plane < 3; ++plane) {
        const QSize size = plane == 0 ? luma : chroma;
        const int lineSize = frame->linesize[plane];
        glBindTexture(GL_TEXTURE_2D, m_textures[std::size_t(plane)]);
        glPixelStorei(GL_UNPACK_ALIGNMENT, rowAlignment(lineSize));
        glPixelStorei(GL_UNPACK_ROW_LENGTH, lineSize);
        // Same size as before: the storage is reused.
        if (m_sizes[std::size_t(plane)] == size) {
            glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, size.width(), size.height(), GL_LUMINANCE,
                            GL_UNSIGNED_BYTE, frame->data[plane]);
        } else {
            glTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE, size.width(), size.height(), 0,
                         GL_LUMINANCE, GL_UNSIGNED_BYTE, frame->data[plane]);
            m_sizes[std::size_t(plane)] = size;
        }
    }
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    m_colour = YuvMatrix::forStream(picture.colorSpace, picture.fullRange);
    return true;
}

void YuvTextures::draw(unsigned displayList)
{
    if (!m_program)
        return;
    m_program->bind();
    m_program->setUniformValue("yuvToRgb", QGenericMatrix<3, 3, float>(m_colour.matrix.data()));
    m_program->setUniformValue("yuvOffset",
                               QVector3D(m_colour.offset[0], m_colour.offset[1], m_colour.offset[2]));
    for (int plane = 2; plane >= 0; --plane) {
        glActiveTexture(GLenum(GL_TEXTURE0 + plane));
        glBindTexture(GL_TEXTURE_2D, m_textures[std::size_t(plane)]);
    }
    glCallList(displayList);
    m_program->release();
}

void YuvTextures::release()
{
    if (m_textures[0])
        glDeleteTextures(3, m_textures.data());
    m_textures = {};
    m_sizes = {};
    m_program.reset();
}
