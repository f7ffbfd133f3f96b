// Compiles a carried triangle mesh into a display list through vertex and normal arrays.
#include "geometry.h"

namespace {
constexpr GLuint handgunList = 669;
}

void buildMeshList(GLuint id, const MeshTable& mesh) {
    glNewList(id, GL_COMPILE);
    // The handgun is stored grip towards -z; the list lays it in the x-y plane, grip towards -y.
    if (id == handgunList)
        glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, mesh.vertices);
    glNormalPointer(GL_FLOAT, 0, mesh.normals);
    glDrawElements(GL_TRIANGLES, mesh.indexCount, GL_UNSIGNED_SHORT, mesh.indices);
    // Both arrays are left disabled, whatever their state before.
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    if (id == handgunList)
        glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
    glEndList();
}
