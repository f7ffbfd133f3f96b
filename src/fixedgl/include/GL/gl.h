// OpenGL 1.1 as far as the fixed-function layer covers it: found before the system's <GL/gl.h>
// when the demo's code is built against the layer. Every name maps onto the layer; a GL call
// or enumerant that is not here is not covered and fails to compile.
#ifndef __gl_h_
#define __gl_h_
#define __GL_H__

#include "../../fixedgl.h"
#include "../../fixedgl_enums.h"

#ifndef GLAPI
#define GLAPI extern
#endif
#ifndef GLAPIENTRY
#define GLAPIENTRY
#endif
#ifndef APIENTRY
#define APIENTRY GLAPIENTRY
#endif

#define GL_FALSE                       FGL_FALSE
#define GL_TRUE                        FGL_TRUE
#define GL_POINTS                      FGL_POINTS
#define GL_LINES                       FGL_LINES
#define GL_LINE_LOOP                   FGL_LINE_LOOP
#define GL_LINE_STRIP                  FGL_LINE_STRIP
#define GL_TRIANGLES                   FGL_TRIANGLES
#define GL_TRIANGLE_STRIP              FGL_TRIANGLE_STRIP
#define GL_TRIANGLE_FAN                FGL_TRIANGLE_FAN
#define GL_QUADS                       FGL_QUADS
#define GL_QUAD_STRIP                  FGL_QUAD_STRIP
#define GL_POLYGON                     FGL_POLYGON
#define GL_NEVER                       FGL_NEVER
#define GL_LESS                        FGL_LESS
#define GL_EQUAL                       FGL_EQUAL
#define GL_LEQUAL                      FGL_LEQUAL
#define GL_GREATER                     FGL_GREATER
#define GL_NOTEQUAL                    FGL_NOTEQUAL
#define GL_GEQUAL                      FGL_GEQUAL
#define GL_ALWAYS                      FGL_ALWAYS
#define GL_ZERO                        FGL_ZERO
#define GL_ONE                         FGL_ONE
#define GL_SRC_COLOR                   FGL_SRC_COLOR
#define GL_ONE_MINUS_SRC_COLOR         FGL_ONE_MINUS_SRC_COLOR
#define GL_SRC_ALPHA                   FGL_SRC_ALPHA
#define GL_ONE_MINUS_SRC_ALPHA         FGL_ONE_MINUS_SRC_ALPHA
#define GL_DST_ALPHA                   FGL_DST_ALPHA
#define GL_ONE_MINUS_DST_ALPHA         FGL_ONE_MINUS_DST_ALPHA
#define GL_DST_COLOR                   FGL_DST_COLOR
#define GL_ONE_MINUS_DST_COLOR         FGL_ONE_MINUS_DST_COLOR
#define GL_SRC_ALPHA_SATURATE          FGL_SRC_ALPHA_SATURATE
#define GL_FRONT                       FGL_FRONT
#define GL_BACK                        FGL_BACK
#define GL_FRONT_AND_BACK              FGL_FRONT_AND_BACK
#define GL_NO_ERROR                    FGL_NO_ERROR
#define GL_INVALID_ENUM                FGL_INVALID_ENUM
#define GL_INVALID_VALUE               FGL_INVALID_VALUE
#define GL_INVALID_OPERATION           FGL_INVALID_OPERATION
#define GL_STACK_OVERFLOW              FGL_STACK_OVERFLOW
#define GL_STACK_UNDERFLOW             FGL_STACK_UNDERFLOW
#define GL_OUT_OF_MEMORY               FGL_OUT_OF_MEMORY
#define GL_EXP                         FGL_EXP
#define GL_EXP2                        FGL_EXP2
#define GL_CULL_FACE                   FGL_CULL_FACE
#define GL_LIGHTING                    FGL_LIGHTING
#define GL_FOG                         FGL_FOG
#define GL_FOG_DENSITY                 FGL_FOG_DENSITY
#define GL_FOG_START                   FGL_FOG_START
#define GL_FOG_END                     FGL_FOG_END
#define GL_FOG_MODE                    FGL_FOG_MODE
#define GL_FOG_COLOR                   FGL_FOG_COLOR
#define GL_DEPTH_TEST                  FGL_DEPTH_TEST
#define GL_NORMALIZE                   FGL_NORMALIZE
#define GL_BLEND                       FGL_BLEND
#define GL_PERSPECTIVE_CORRECTION_HINT FGL_PERSPECTIVE_CORRECTION_HINT
#define GL_POINT_SMOOTH_HINT           FGL_POINT_SMOOTH_HINT
#define GL_LINE_SMOOTH_HINT            FGL_LINE_SMOOTH_HINT
#define GL_POLYGON_SMOOTH_HINT         FGL_POLYGON_SMOOTH_HINT
#define GL_FOG_HINT                    FGL_FOG_HINT
#define GL_UNPACK_ALIGNMENT            FGL_UNPACK_ALIGNMENT
#define GL_PACK_ALIGNMENT              FGL_PACK_ALIGNMENT
#define GL_TEXTURE_2D                  FGL_TEXTURE_2D
#define GL_DONT_CARE                   FGL_DONT_CARE
#define GL_FASTEST                     FGL_FASTEST
#define GL_NICEST                      FGL_NICEST
#define GL_AMBIENT                     FGL_AMBIENT
#define GL_DIFFUSE                     FGL_DIFFUSE
#define GL_SPECULAR                    FGL_SPECULAR
#define GL_POSITION                    FGL_POSITION
#define GL_COMPILE                     FGL_COMPILE
#define GL_COMPILE_AND_EXECUTE         FGL_COMPILE_AND_EXECUTE
#define GL_UNSIGNED_BYTE               FGL_UNSIGNED_BYTE
#define GL_UNSIGNED_SHORT              FGL_UNSIGNED_SHORT
#define GL_UNSIGNED_INT                FGL_UNSIGNED_INT
#define GL_FLOAT                       FGL_FLOAT
#define GL_EMISSION                    FGL_EMISSION
#define GL_SHININESS                   FGL_SHININESS
#define GL_AMBIENT_AND_DIFFUSE         FGL_AMBIENT_AND_DIFFUSE
#define GL_MODELVIEW                   FGL_MODELVIEW
#define GL_PROJECTION                  FGL_PROJECTION
#define GL_RGB                         FGL_RGB
#define GL_RGBA                        FGL_RGBA
#define GL_POINT                       FGL_POINT
#define GL_LINE                        FGL_LINE
#define GL_FILL                        FGL_FILL
#define GL_MODULATE                    FGL_MODULATE
#define GL_TEXTURE_ENV_MODE            FGL_TEXTURE_ENV_MODE
#define GL_TEXTURE_ENV                 FGL_TEXTURE_ENV
#define GL_NEAREST                     FGL_NEAREST
#define GL_LINEAR                      FGL_LINEAR
#define GL_TEXTURE_MAG_FILTER          FGL_TEXTURE_MAG_FILTER
#define GL_TEXTURE_MIN_FILTER          FGL_TEXTURE_MIN_FILTER
#define GL_TEXTURE_WRAP_S              FGL_TEXTURE_WRAP_S
#define GL_TEXTURE_WRAP_T              FGL_TEXTURE_WRAP_T
#define GL_REPEAT                      FGL_REPEAT
#define GL_CLAMP_TO_EDGE               FGL_CLAMP_TO_EDGE
#define GL_LIGHT0                      FGL_LIGHT0
#define GL_VERTEX_ARRAY                FGL_VERTEX_ARRAY
#define GL_NORMAL_ARRAY                FGL_NORMAL_ARRAY
#define GL_COLOR_ARRAY                 FGL_COLOR_ARRAY
#define GL_INDEX_ARRAY                 FGL_INDEX_ARRAY
#define GL_TEXTURE_COORD_ARRAY         FGL_TEXTURE_COORD_ARRAY
#define GL_EDGE_FLAG_ARRAY             FGL_EDGE_FLAG_ARRAY
#define GL_CURRENT_BIT                 FGL_CURRENT_BIT
#define GL_POINT_BIT                   FGL_POINT_BIT
#define GL_LINE_BIT                    FGL_LINE_BIT
#define GL_POLYGON_BIT                 FGL_POLYGON_BIT
#define GL_LIGHTING_BIT                FGL_LIGHTING_BIT
#define GL_FOG_BIT                     FGL_FOG_BIT
#define GL_DEPTH_BUFFER_BIT            FGL_DEPTH_BUFFER_BIT
#define GL_VIEWPORT_BIT                FGL_VIEWPORT_BIT
#define GL_TRANSFORM_BIT               FGL_TRANSFORM_BIT
#define GL_ENABLE_BIT                  FGL_ENABLE_BIT
#define GL_COLOR_BUFFER_BIT            FGL_COLOR_BUFFER_BIT
#define GL_HINT_BIT                    FGL_HINT_BIT
#define GL_TEXTURE_BIT                 FGL_TEXTURE_BIT
#define GL_ALL_ATTRIB_BITS             FGL_ALL_ATTRIB_BITS
#define GL_CLIENT_PIXEL_STORE_BIT      FGL_CLIENT_PIXEL_STORE_BIT
#define GL_CLIENT_VERTEX_ARRAY_BIT     FGL_CLIENT_VERTEX_ARRAY_BIT
#define GL_CLIENT_ALL_ATTRIB_BITS      FGL_CLIENT_ALL_ATTRIB_BITS

#define glMatrixMode fglMatrixMode
#define glLoadIdentity fglLoadIdentity
#define glPushMatrix fglPushMatrix
#define glPopMatrix fglPopMatrix
#define glTranslatef fglTranslatef
#define glTranslated fglTranslated
#define glScalef fglScalef
#define glScaled fglScaled
#define glRotatef fglRotatef
#define glRotated fglRotated
#define glFrustum fglFrustum
#define glViewport fglViewport
#define glEnable fglEnable
#define glDisable fglDisable
#define glBlendFunc fglBlendFunc
#define glDepthFunc fglDepthFunc
#define glPolygonMode fglPolygonMode
#define glPointSize fglPointSize
#define glLineWidth fglLineWidth
#define glHint fglHint
#define glClearColor fglClearColor
#define glClear fglClear
#define glGetError fglGetError
#define glFinish fglFinish
#define glFlush fglFlush
#define glReadPixels fglReadPixels
#define glPixelStorei fglPixelStorei
#define glMaterialfv fglMaterialfv
#define glLightfv fglLightfv
#define glFogf fglFogf
#define glFogfv fglFogfv
#define glBegin fglBegin
#define glEnd fglEnd
#define glVertex2f fglVertex2f
#define glVertex3f fglVertex3f
#define glNormal3f fglNormal3f
#define glColor4f fglColor4f
#define glTexCoord2f fglTexCoord2f
#define glEnableClientState fglEnableClientState
#define glDisableClientState fglDisableClientState
#define glVertexPointer fglVertexPointer
#define glNormalPointer fglNormalPointer
#define glDrawElements fglDrawElements
#define glPushClientAttrib fglPushClientAttrib
#define glPopClientAttrib fglPopClientAttrib
#define glNewList fglNewList
#define glEndList fglEndList
#define glCallList fglCallList
#define glPushAttrib fglPushAttrib
#define glPopAttrib fglPopAttrib
#define glGenTextures fglGenTextures
#define glBindTexture fglBindTexture
#define glTexImage2D fglTexImage2D
#define glTexParameteri fglTexParameteri
#define glTexEnvi fglTexEnvi

#endif
