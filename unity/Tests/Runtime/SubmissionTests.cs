using System;
using System.Linq;
using System.Runtime.InteropServices;
using NUnit.Framework;

namespace Zerin.Tests
{
    /// <summary>The frame road from C#: swap chains queued and made by the render thread, a frame
    /// sync read back, and a submission of four layers of four views that the runtime receives
    /// record for record, with the engine's colour and depth in its images.</summary>
    [TestFixture]
    public class SubmissionTests : StandInFixture
    {
        const uint ImageSize = 16;  // engine textures and depth images; colour images are twice as wide and high
        const DxgiFormat Rgba8 = DxgiFormat.R8G8B8A8UNorm, R32Typeless = (DxgiFormat)39, R32G8X24Typeless = (DxgiFormat)19;
        const int Layers = 4, Views = Layers * SubmissionLayer.ViewCount;
        const float EngineDepth = 0.625f;

        static uint EngineColour(int view)
        {
            return 0xFF000000u | (uint)(0x10 + view) << 16 | (uint)(0x40 + view) << 8 | (uint)(0x80 + view);
        }

        static bool ViewHasDepth(int i) { return i % 2 == 0; }
        // Also set on views without depth, which must then get no extension at all.
        static bool ViewHasExtraDepth(int i) { return i % 4 <= 1; }

        [Test]
        public void FourLayerSubmissionReachesTheRuntimeRecordForRecord()
        {
            using (OpenSession())
            {
                var colourConfig = new SwapchainConfig
                {
                    Width = 2 * ImageSize, Height = 2 * ImageSize, Format = Rgba8, ArraySize = 1, SampleCount = 1,
                    Usage = SwapchainUsage.Color,
                };
                var depthConfig = colourConfig;
                depthConfig.Width = depthConfig.Height = ImageSize;
                depthConfig.Format = R32Typeless;
                depthConfig.Usage = SwapchainUsage.Depth;
                var colourSlots = new IntPtr[Views];
                var depthSlots = new IntPtr[Views];
                for (int i = 0; i < Views; ++i)
                {
                    colourSlots[i] = Native.QueueCreateD3D11Swapchain(ref colourConfig);
                    if (ViewHasDepth(i)) depthSlots[i] = Native.QueueCreateD3D11Swapchain(ref depthConfig);
                }
                Assert.AreEqual(IntPtr.Zero, Marshal.ReadIntPtr(colourSlots[0]), "no swap chain before the render thread ran");
                TestHost.RunOnRenderThread(RenderEvent.SwapchainRequests);
                Assert.IsTrue(Array.TrueForAll(colourSlots, slot => Marshal.ReadIntPtr(slot) != IntPtr.Zero));
                Assert.AreEqual(Views + Views / 2, SimRuntime.zerinsim_LiveObjectCount("swapChain"));

                var colourTextures = new IntPtr[SubmissionLayer.ViewCount];
                for (int v = 0; v < colourTextures.Length; ++v)
                    colourTextures[v] = EngineTexture(Rgba8, BitConverter.GetBytes(EngineColour(v)), 4);
                byte[] depthTexel = new byte[8];
                BitConverter.GetBytes(EngineDepth).CopyTo(depthTexel, 0);
                IntPtr depthTexture = EngineTexture(R32G8X24Typeless, depthTexel, 8);

                TestHost.zerintest_IssuePluginEvent((int)RenderEvent.FrameSync);
                Native.SyncRenderThread();
                FramePoseData poses;
                Native.GetFramePoseData(out poses);
                Assert.GreaterOrEqual(poses.GetView(0).Pose.M03, 1, "the frame index the runtime put in the view pose");
                Assert.AreEqual(3, poses.GetView(3).Pose.M13, "view 3's pose");
                Assert.AreEqual(poses.GetView(0).Pose.M03, poses.RightEyePose.M03, "views and poses of one frame");

                var layers = new SubmissionLayer[Layers];
                for (int l = 0; l < Layers; ++l)
                {
                    layers[l].SortOrder = l + 5;
                    layers[l].Flags = -(l + 1);
                    for (int v = 0; v < SubmissionLayer.ViewCount; ++v)
                    {
                        int i = l * SubmissionLayer.ViewCount + v;
                        var view = new SubmissionView
                        {
                            Pose = poses.GetView(v).Pose,
                            Projection = poses.GetView(v).Projection,
                            ColorSlot = colourSlots[i],
                            ColorViewport = new ImageViewport { X = i, Y = 15 - i % 8, Width = (int)ImageSize, Height = (int)ImageSize },
                            ColorTexture = colourTextures[v],
                            HasDepth = ViewHasDepth(i),
                            DepthSlot = depthSlots[i],
                            DepthViewport = new ImageViewport { Width = (int)ImageSize, Height = (int)ImageSize },
                            DepthTexture = depthTexture,
                            DepthParameters = new DepthParameters { NearZ = 0.1 * i, FarZ = 100 + i, MinDepth = 0, MaxDepth = 1 },
                            ExtraDepthParameters = new ExtraDepthParameters { DepthScale = 1 + i, DepthOffset = -i },
                            HasExtraDepthParameters = ViewHasExtraDepth(i),
                        };
                        view.Pose.M23 = i;
                        view.Projection.M32 = -i;
                        layers[l].SetView(v, view);
                    }
                }
                Native.QueueSubmission(Layers, layers);
                var queued = (SubmissionLayer[])layers.Clone();
                Array.Clear(layers, 0, layers.Length);  // the plug-in copied them
                TestHost.RunOnRenderThread(RenderEvent.FrameStart, RenderEvent.FrameSubmit);

                Assert.AreEqual(1, SimRuntime.zerinsim_SubmittedFrameCount());
                SimSubmittedFrame frame;
                Assert.AreEqual(1, SimRuntime.zerinsim_GetSubmittedFrame(0, out frame));
                Assert.AreEqual(0, frame.Error);
                Assert.AreEqual(Layers, frame.Submit.LayerCount);
                Assert.AreNotEqual(0, frame.BegunFrameIndex);
                Assert.AreEqual(frame.BegunFrameIndex, frame.Submit.FrameIndex);
                for (int l = 0; l < Layers; ++l)
                {
                    SimRuntimeLayer layer = frame.Layers[l];
                    Assert.AreEqual(new long[] { 1, queued[l].Flags, queued[l].SortOrder, 4 },
                                    new long[] { layer.Type, layer.Flags, layer.SortOrder, layer.ViewCount }, "layer " + l);
                    for (int v = 0; v < SubmissionLayer.ViewCount; ++v)
                        CheckView(l * SubmissionLayer.ViewCount + v, queued[l].GetView(v), frame.Views[l * SubmissionLayer.ViewCount + v]);
                }

                // The engine's colour and depth landed in the images the runtime shows.
                TestHost.zerintest_WaitForRenderThread();
                for (int i = 0; i < Views; i += 5)
                {
                    // The engine's texture is copied to the image's origin, whatever the viewport.
                    byte[] colour = Image(Marshal.ReadIntPtr(colourSlots[i]), frame.Views[i].ColourImage);
                    int rowBytes = 2 * (int)ImageSize * 4;
                    Assert.AreEqual(EngineColour(i % 4), BitConverter.ToUInt32(colour, 0), "colour of view " + i);
                    Assert.AreEqual(EngineColour(i % 4), BitConverter.ToUInt32(colour, 15 * rowBytes + 15 * 4));
                    Assert.AreEqual(0u, BitConverter.ToUInt32(colour, 16 * rowBytes + 16 * 4), "outside the copy");
                }
                byte[] depth = Image(Marshal.ReadIntPtr(depthSlots[2]), frame.Views[2].DepthImage);
                Assert.AreEqual(EngineDepth, BitConverter.ToSingle(depth, 0));
                Assert.AreEqual(EngineDepth, BitConverter.ToSingle(depth, depth.Length - 4));

                foreach (IntPtr slot in colourSlots) Native.QueueDestroySwapchain(slot);
                foreach (IntPtr slot in depthSlots) Native.QueueDestroySwapchain(slot);  // IntPtr.Zero included
                TestHost.RunOnRenderThread(RenderEvent.SwapchainRequests);
                Assert.AreEqual(0, SimRuntime.zerinsim_LiveObjectCount("swapChain"));
                foreach (IntPtr texture in colourTextures) TestHost.zerintest_ReleaseTexture(texture);
                TestHost.zerintest_ReleaseTexture(depthTexture);
            }
        }

        [Test]
        public void ASwapchainIsMadeByTheRenderThreadAndDestroyedOnce()
        {
            var config = new SwapchainConfig { Width = ImageSize, Height = ImageSize, Format = Rgba8, ArraySize = 1, SampleCount = 1,
                                               Usage = SwapchainUsage.Color };
            Session session = OpenSession();
            int before = SimRuntime.zerinsim_LiveObjectCount("swapChain");
            Swapchain swapchain = session.CreateSwapchain(config);
            Assert.IsFalse(swapchain.IsMade, "queued, not made yet");
            TestHost.RunOnRenderThread(RenderEvent.SwapchainRequests);
            Assert.IsTrue(swapchain.IsMade);
            Assert.AreEqual(before + 1, SimRuntime.zerinsim_LiveObjectCount("swapChain"));
            swapchain.Dispose();
            swapchain.Dispose();  // a second destroy request would free the slot twice
            Assert.AreEqual(IntPtr.Zero, swapchain.Slot);
            Assert.IsFalse(swapchain.IsMade);
            TestHost.RunOnRenderThread(RenderEvent.SwapchainRequests);
            Assert.AreEqual(before, SimRuntime.zerinsim_LiveObjectCount("swapChain"));
            session.Dispose();
            Assert.IsNull(session.CreateSwapchain(config), "nothing is queued for a session that ended");
        }

        // What the render thread would drop, told once per cause and queued never; the rest queued.
        [TestCase("", SubmissionProblems.None, null)]
        [TestCase("no session", SubmissionProblems.NoSession | SubmissionProblems.EmptyView, "no session is open")]
        [TestCase("five layers", SubmissionProblems.TooManyLayers, "5 layers, at most 4")]
        [TestCase("no colour slot", SubmissionProblems.EmptyView, "a view names no swap chain (first: layer 0 view 2 colour)")]
        [TestCase("no depth slot", SubmissionProblems.EmptyView, "a view names no swap chain (first: layer 0 view 1 depth)")]
        [TestCase("not made", SubmissionProblems.SlotNotMade, "not made yet, issue RenderEvent.SwapchainRequests first (first: layer 0 view 3 colour)")]
        [TestCase("not made, no colour slot", SubmissionProblems.SlotNotMade | SubmissionProblems.EmptyView, "(first: layer 0 view 3 colour)")]
        public void SubmissionHelperQueuesOnlyWhatTheRenderThreadTakes(string change, SubmissionProblems expected, string said)
        {
            EngineBridgeLifetime.ReleaseAll();  // forgets what earlier tests were told
            Session session = change == "no session" ? null : OpenSession();
            var config = new SwapchainConfig { Width = ImageSize, Height = ImageSize, Format = Rgba8, ArraySize = 1, SampleCount = 1,
                                               Usage = SwapchainUsage.Color };
            IntPtr made = Native.QueueCreateD3D11Swapchain(ref config);
            TestHost.RunOnRenderThread(RenderEvent.SwapchainRequests);
            IntPtr notMade = Native.QueueCreateD3D11Swapchain(ref config);
            IntPtr texture = EngineTexture(Rgba8, BitConverter.GetBytes(EngineColour(0)), 4);
            var valid = new SubmissionLayer[5];
            for (int v = 0; v < SubmissionLayer.ViewCount; ++v)
                valid[0].SetView(v, new SubmissionView { ColorSlot = made, ColorTexture = texture });
            for (int l = 1; l < valid.Length; ++l) valid[l] = valid[0];
            var layers = (SubmissionLayer[])valid.Clone();
            SubmissionView view1 = layers[0].GetView(1), view2 = layers[0].GetView(2), view3 = layers[0].GetView(3);
            if (change.Contains("no colour slot")) view2.ColorSlot = IntPtr.Zero;
            view1.HasDepth = change == "no depth slot";
            if (change.StartsWith("not made")) view3.ColorSlot = notMade;
            layers[0].SetView(1, view1);
            layers[0].SetView(2, view2);
            layers[0].SetView(3, view3);
            int count = change == "five layers" ? 5 : 1, causes = 0;
            for (int bit = 1; bit <= (int)SubmissionProblems.SlotNotMade; bit <<= 1) causes += ((int)expected & bit) != 0 ? 1 : 0;
            using (var errors = new ErrorLines())
            {
                Func<int> warnings = () => errors.Lines.Count(line => line.StartsWith("Zerin: Submission not queued: "));
                Assert.AreEqual(expected, Submission.Check(layers, count));
                for (int frame = 0; frame < 3; ++frame) Assert.AreEqual(causes == 0, Submission.Queue(layers, count));
                Assert.AreEqual(causes, warnings(), "once per cause: " + string.Join(" | ", errors.Lines.ToArray()));
                Assert.IsTrue(said == null || errors.Lines.Exists(line => line.Contains(said)), said);
                if (session != null && causes > 0)
                {
                    Assert.IsTrue(Submission.Queue(valid, 1), "the causes went away");
                    Submission.Queue(layers, count);
                    Assert.AreEqual(2 * causes, warnings(), "told again once they came back");
                }
            }
            TestHost.RunOnRenderThread(RenderEvent.FrameStart, RenderEvent.FrameSubmit);
            Assert.AreEqual(session == null ? 0 : 1, SimRuntime.zerinsim_SubmittedFrameCount(), "nothing the render thread drops was queued first");
            foreach (IntPtr slot in new[] { made, notMade }) Native.QueueDestroySwapchain(slot);
            TestHost.RunOnRenderThread(RenderEvent.SwapchainRequests);
            TestHost.zerintest_ReleaseTexture(texture);
            if (session != null) session.Dispose();
        }

        static void CheckView(int i, SubmissionView queued, SimSubmittedView received)
        {
            string where = "view " + i;
            Assert.AreEqual(queued.Pose, received.View.Pose, where);
            Assert.AreEqual(queued.Projection, received.View.Projection, where);
            Assert.AreEqual(Marshal.ReadIntPtr(queued.ColorSlot), received.View.Colour.SwapChain, where);
            Assert.AreEqual(new[] { queued.ColorViewport.X, queued.ColorViewport.Y, queued.ColorViewport.Width,
                                    queued.ColorViewport.Height, queued.ColorViewport.ArrayIndex, 0 },
                            new[] { received.View.Colour.X, received.View.Colour.Y, received.View.Colour.Width,
                                    received.View.Colour.Height, received.View.Colour.ArrayIndex, received.View.Colour.Reserved }, where);
            bool depth = ViewHasDepth(i), extra = depth && ViewHasExtraDepth(i);
            Assert.AreEqual(depth ? 1 : 0, received.HasDepth, where);
            Assert.AreEqual(depth, received.View.Extensions != IntPtr.Zero, where);
            Assert.AreEqual(extra ? 1 : 0, received.HasExtraDepth, where);
            if (!depth) return;
            Assert.AreEqual(1, received.Depth.Type, where);
            Assert.AreEqual(queued.DepthParameters, received.Depth.Parameters, where);
            Assert.AreEqual(Marshal.ReadIntPtr(queued.DepthSlot), received.Depth.Depth.SwapChain, where);
            Assert.AreEqual(new[] { queued.DepthViewport.X, queued.DepthViewport.Y, queued.DepthViewport.Width },
                            new[] { received.Depth.Depth.X, received.Depth.Depth.Y, received.Depth.Depth.Width }, where);
            Assert.AreEqual(extra, received.Depth.Next != IntPtr.Zero, where);
            if (!extra) return;
            Assert.AreEqual(2, received.ExtraDepth.Type, where);
            Assert.AreEqual(IntPtr.Zero, received.ExtraDepth.Next, where);
            Assert.AreEqual(queued.ExtraDepthParameters, received.ExtraDepth.Parameters, where);
        }

        // A texture of the engine's device filled with one texel.
        static IntPtr EngineTexture(DxgiFormat format, byte[] texel, int texelSize)
        {
            var texels = new byte[ImageSize * ImageSize * texelSize];
            for (int offset = 0; offset < texels.Length; offset += texelSize) Array.Copy(texel, 0, texels, offset, texelSize);
            IntPtr texture = TestHost.zerintest_CreateTexture(ImageSize, ImageSize, (int)format, texels);
            Assert.AreNotEqual(IntPtr.Zero, texture, "engine texture of format " + format);
            return texture;
        }

        static byte[] Image(IntPtr swapChain, int image)
        {
            int size = SimRuntime.zerinsim_ReadSwapChainImage(swapChain, image, 0, null, 0);
            Assert.Greater(size, 0, "image " + image + " cannot be read");
            var texels = new byte[size];
            Assert.AreEqual(size, SimRuntime.zerinsim_ReadSwapChainImage(swapChain, image, 0, texels, size));
            return texels;
        }
    }
}
