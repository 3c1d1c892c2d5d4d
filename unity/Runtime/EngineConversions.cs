// The runtime's and OpenVR's matrices in the engine's terms. Both runtimes are right-handed
// (+x right, +y up, -z forward); the engine's world is left-handed (+z forward). Mirroring z,
// S = diag(1, 1, -1, 1), takes one to the other: a pose M becomes S M S, which negates the
// elements with exactly one index 2, and a point (x, y, z) becomes (x, y, -z). The engine's
// camera space is right-handed like the runtime's view space, so a projection keeps its axes
// and only changes depth range: the runtime's 0..1 to the engine's -1..1.
#if UNITY_5_3_OR_NEWER
using System;
using UnityEngine;
using Zerin.OpenVR;

namespace Zerin
{
    /// <summary>Conversions between the runtime's right-handed double matrices and the engine's
    /// left-handed <c>Matrix4x4</c>, <c>Pose</c> and projection matrices.</summary>
    public static class EngineConversions
    {
        /// <summary>A runtime pose (right-handed) as an engine transform matrix (left-handed).</summary>
        public static Matrix4x4 ToEngineMatrix(this Matrix pose)
        {
            var m = new Matrix4x4();
            m.m00 = (float)pose.M00; m.m01 = (float)pose.M01; m.m02 = (float)-pose.M02; m.m03 = (float)pose.M03;
            m.m10 = (float)pose.M10; m.m11 = (float)pose.M11; m.m12 = (float)-pose.M12; m.m13 = (float)pose.M13;
            m.m20 = (float)-pose.M20; m.m21 = (float)-pose.M21; m.m22 = (float)pose.M22; m.m23 = (float)-pose.M23;
            m.m30 = (float)pose.M30; m.m31 = (float)pose.M31; m.m32 = (float)-pose.M32; m.m33 = (float)pose.M33;
            return m;
        }

        /// <summary>An engine transform matrix (left-handed) as a runtime pose (right-handed).</summary>
        public static Matrix FromEngineMatrix(Matrix4x4 m)
        {
            return new Matrix
            {
                M00 = m.m00, M01 = m.m01, M02 = -m.m02, M03 = m.m03,
                M10 = m.m10, M11 = m.m11, M12 = -m.m12, M13 = m.m13,
                M20 = -m.m20, M21 = -m.m21, M22 = m.m22, M23 = -m.m23,
                M30 = m.m30, M31 = m.m31, M32 = -m.m32, M33 = m.m33,
            };
        }

        /// <summary>A rigid runtime pose as the engine's position and rotation (left-handed).</summary>
        public static Pose ToEnginePose(this Matrix pose)
        {
            Matrix4x4 m = pose.ToEngineMatrix();
            return new Pose(new Vector3(m.m03, m.m13, m.m23), RotationOf(m));
        }

        /// <summary>The engine's position and rotation (left-handed) as a runtime pose.</summary>
        public static Matrix FromEnginePose(Pose pose)
        {
            Quaternion q = pose.rotation;
            double x = q.x, y = q.y, z = q.z, w = q.w;
            double n = x * x + y * y + z * z + w * w;
            double s = n > 0 ? 2 / n : 0;
            var m = new Matrix4x4();
            m.m00 = (float)(1 - s * (y * y + z * z)); m.m01 = (float)(s * (x * y - z * w)); m.m02 = (float)(s * (x * z + y * w));
            m.m10 = (float)(s * (x * y + z * w)); m.m11 = (float)(1 - s * (x * x + z * z)); m.m12 = (float)(s * (y * z - x * w));
            m.m20 = (float)(s * (x * z - y * w)); m.m21 = (float)(s * (y * z + x * w)); m.m22 = (float)(1 - s * (x * x + y * y));
            m.m03 = pose.position.x; m.m13 = pose.position.y; m.m23 = pose.position.z;
            m.m33 = 1;
            return FromEngineMatrix(m);
        }

        /// <summary>A runtime projection (depth 0 at near, 1 at far) as the engine's
        /// (Camera.projectionMatrix: -1 at near, 1 at far).</summary>
        public static Matrix4x4 ToEngineProjection(this Matrix projection)
        {
            var m = new Matrix4x4();
            m.m00 = (float)projection.M00; m.m01 = (float)projection.M01; m.m02 = (float)projection.M02; m.m03 = (float)projection.M03;
            m.m10 = (float)projection.M10; m.m11 = (float)projection.M11; m.m12 = (float)projection.M12; m.m13 = (float)projection.M13;
            m.m20 = (float)(2 * projection.M20 - projection.M30); m.m21 = (float)(2 * projection.M21 - projection.M31);
            m.m22 = (float)(2 * projection.M22 - projection.M32); m.m23 = (float)(2 * projection.M23 - projection.M33);
            m.m30 = (float)projection.M30; m.m31 = (float)projection.M31; m.m32 = (float)projection.M32; m.m33 = (float)projection.M33;
            return m;
        }

        /// <summary>The engine's projection (-1 at near) as the runtime's (0 at near).</summary>
        public static Matrix FromEngineProjection(Matrix4x4 m)
        {
            return new Matrix
            {
                M00 = m.m00, M01 = m.m01, M02 = m.m02, M03 = m.m03,
                M10 = m.m10, M11 = m.m11, M12 = m.m12, M13 = m.m13,
                M20 = ((double)m.m20 + m.m30) / 2, M21 = ((double)m.m21 + m.m31) / 2,
                M22 = ((double)m.m22 + m.m32) / 2, M23 = ((double)m.m23 + m.m33) / 2,
                M30 = m.m30, M31 = m.m31, M32 = m.m32, M33 = m.m33,
            };
        }

        /// <summary>An OpenVR pose (right-handed) as an engine transform matrix (left-handed).</summary>
        public static Matrix4x4 ToEngineMatrix(this HmdMatrix34 pose) { return pose.ToMatrix().ToEngineMatrix(); }

        /// <summary>An OpenVR pose (right-handed) as the engine's position and rotation.</summary>
        public static Pose ToEnginePose(this HmdMatrix34 pose) { return pose.ToMatrix().ToEnginePose(); }

        // The rotation of a rigid transform (Shepperd's method: the largest of the four candidate
        // terms keeps the square root away from zero).
        static Quaternion RotationOf(Matrix4x4 m)
        {
            double trace = (double)m.m00 + m.m11 + m.m22;
            double x, y, z, w;
            if (trace > 0)
            {
                double s = Math.Sqrt(trace + 1) * 2;
                w = s / 4; x = (m.m21 - m.m12) / s; y = (m.m02 - m.m20) / s; z = (m.m10 - m.m01) / s;
            }
            else if (m.m00 > m.m11 && m.m00 > m.m22)
            {
                double s = Math.Sqrt(1 + m.m00 - m.m11 - m.m22) * 2;
                w = (m.m21 - m.m12) / s; x = s / 4; y = (m.m01 + m.m10) / s; z = (m.m02 + m.m20) / s;
            }
            else if (m.m11 > m.m22)
            {
                double s = Math.Sqrt(1 + m.m11 - m.m00 - m.m22) * 2;
                w = (m.m02 - m.m20) / s; x = (m.m01 + m.m10) / s; y = s / 4; z = (m.m12 + m.m21) / s;
            }
            else
            {
                double s = Math.Sqrt(1 + m.m22 - m.m00 - m.m11) * 2;
                w = (m.m10 - m.m01) / s; x = (m.m02 + m.m20) / s; y = (m.m12 + m.m21) / s; z = s / 4;
            }
            double length = Math.Sqrt(x * x + y * y + z * z + w * w);
            return new Quaternion((float)(x / length), (float)(y / length), (float)(z / length), (float)(w / length));
        }
    }
}
#endif
