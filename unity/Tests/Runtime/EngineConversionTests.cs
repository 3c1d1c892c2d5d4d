// The runtime's right-handed matrices in the engine's left-handed terms, checked against
// geometry worked out by hand rather than against the formulas the conversions use.
#if UNITY_5_3_OR_NEWER
using System;
using NUnit.Framework;
using UnityEngine;
using Zerin.OpenVR;

namespace Zerin.Tests
{
    [TestFixture]
    [Category("EngineMath")]
    public class EngineConversionTests
    {
        const float Tolerance = 1e-5f;

        // Turned 90 degrees to the left (about +y, right-handed) and standing at (1, 2, 3): its
        // forward, -z, now points along -x.
        static readonly Matrix TurnedLeft = new Matrix
        {
            M00 = 0, M01 = 0, M02 = 1, M03 = 1,
            M10 = 0, M11 = 1, M12 = 0, M13 = 2,
            M20 = -1, M21 = 0, M22 = 0, M23 = 3,
            M33 = 1,
        };

        [Test]
        public void ARuntimePoseIsMirroredInZForTheEngine()
        {
            // In the engine, forward is +z and a turn to the left is a negative turn about y.
            float half = (float)Math.Sqrt(0.5);
            var expected = new Pose(new Vector3(1, 2, -3), new Quaternion(0, -half, 0, half));
            AssertPose(expected, TurnedLeft.ToEnginePose());
            var openVR = new HmdMatrix34 { M02 = 1, M03 = 1, M11 = 1, M13 = 2, M20 = -1, M23 = 3 };
            AssertPose(expected, openVR.ToEnginePose());

            Matrix4x4 m = TurnedLeft.ToEngineMatrix();
            // The engine's forward (column 2) points along -x, its translation is mirrored.
            Assert.AreEqual(new[] { -1f, 0f, 0f, 0f, 1f, 0f, 1f, 2f, -3f },
                            new[] { m.m02, m.m12, m.m22, m.m01, m.m11, m.m21, m.m03, m.m13, m.m23 });
        }

        [Test]
        public void PosesComeBackFromTheEngineUnchanged()
        {
            // 40 degrees about a skew axis, somewhere off the origin.
            double angle = 40 * Math.PI / 180, c = Math.Cos(angle), s = Math.Sin(angle);
            double x = 0.48, y = 0.6, z = 0.64;  // a unit axis
            var pose = new Matrix
            {
                M00 = c + x * x * (1 - c), M01 = x * y * (1 - c) - z * s, M02 = x * z * (1 - c) + y * s, M03 = -0.25,
                M10 = y * x * (1 - c) + z * s, M11 = c + y * y * (1 - c), M12 = y * z * (1 - c) - x * s, M13 = 1.5,
                M20 = z * x * (1 - c) - y * s, M21 = z * y * (1 - c) + x * s, M22 = c + z * z * (1 - c), M23 = -2,
                M33 = 1,
            };
            AssertMatrix(pose, EngineConversions.FromEnginePose(pose.ToEnginePose()));
            AssertMatrix(pose, EngineConversions.FromEngineMatrix(pose.ToEngineMatrix()));
        }

        [Test]
        public void AProjectionKeepsItsAxesAndTakesTheEnginesDepthRange()
        {
            // Right-handed, 90 degrees wide, near 0.5 and far 100, depth 0 to 1.
            double near = 0.5, far = 100;
            var runtime = new Matrix { M00 = 1, M11 = 1, M22 = far / (near - far), M23 = near * far / (near - far), M32 = -1 };
            Matrix4x4 engine = runtime.ToEngineProjection();
            // The engine's own perspective matrix for the same frustum (depth -1 to 1).
            Assert.AreEqual(new[] { 1f, 1f, (float)(-(far + near) / (far - near)), (float)(-2 * far * near / (far - near)), -1f, 0f },
                            new[] { engine.m00, engine.m11, engine.m22, engine.m23, engine.m32, engine.m33 });
            foreach (double depth in new[] { near, far })
            {
                double clipZ = engine.m22 * -depth + engine.m23, clipW = engine.m32 * -depth;
                Assert.AreEqual(depth == near ? -1 : 1, clipZ / clipW, 1e-4, "engine depth at " + depth);
            }
            AssertMatrix(runtime, EngineConversions.FromEngineProjection(engine));
        }

        static void AssertPose(Pose expected, Pose actual)
        {
            Assert.AreEqual(new[] { expected.position.x, expected.position.y, expected.position.z },
                            new[] { actual.position.x, actual.position.y, actual.position.z });
            // q and -q are one rotation.
            float sign = Math.Sign(expected.rotation.w * actual.rotation.w + expected.rotation.y * actual.rotation.y);
            Quaternion e = expected.rotation, a = actual.rotation;
            foreach (float[] pair in new[] { new[] { e.x, a.x }, new[] { e.y, a.y }, new[] { e.z, a.z }, new[] { e.w, a.w } })
                Assert.AreEqual(pair[0], sign * pair[1], Tolerance, "rotation");
        }

        static void AssertMatrix(Matrix expected, Matrix actual)
        {
            double[] e = { expected.M00, expected.M01, expected.M02, expected.M03, expected.M10, expected.M11, expected.M12,
                           expected.M13, expected.M20, expected.M21, expected.M22, expected.M23, expected.M30, expected.M31,
                           expected.M32, expected.M33 };
            double[] a = { actual.M00, actual.M01, actual.M02, actual.M03, actual.M10, actual.M11, actual.M12, actual.M13,
                           actual.M20, actual.M21, actual.M22, actual.M23, actual.M30, actual.M31, actual.M32, actual.M33 };
            for (int i = 0; i < e.Length; ++i) Assert.AreEqual(e[i], a[i], 1e-4, "element " + i / 4 + "," + i % 4);
        }
    }
}
#endif
