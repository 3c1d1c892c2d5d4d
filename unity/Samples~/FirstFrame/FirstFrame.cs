// Add to a camera to see a first frame in the headset: the camera renders each eye into a render
// texture, and the plug-in copies its colour and depth into the runtime's swap chains.
using System;
using System.Collections;
using UnityEngine;
using Zerin;

[RequireComponent(typeof(Camera))]
public class FirstFrame : MonoBehaviour
{
    const int Eyes = 2;

    public int eyeSize = 2048;

    Camera eyeCamera;
    Session session;
    readonly RenderTexture[] eyeTextures = new RenderTexture[Eyes];
    readonly Swapchain[] colorSwapchains = new Swapchain[Eyes], depthSwapchains = new Swapchain[Eyes];
    readonly IntPtr[] colorTextures = new IntPtr[Eyes], depthTextures = new IntPtr[Eyes];
    readonly SubmissionLayer[] layers = new SubmissionLayer[1];
    FramePoseData poses;

    void Start()
    {
        session = Session.Open();  // null, and the console says why
        if (session == null) { enabled = false; return; }
        session.EventReceived += e => Debug.Log("Zerin event " + e.Type + ": " + e.Data);
        eyeCamera = GetComponent<Camera>();
        eyeCamera.enabled = false;  // rendered by hand, once per eye
        for (int eye = 0; eye < Eyes; ++eye)
        {
            // ARGB32 is copied into R8G8B8A8; the depth copy writes 32-bit float depth.
            colorSwapchains[eye] = session.CreateSwapchain(EyeSwapchain(DxgiFormat.R8G8B8A8UNorm, SwapchainUsage.Color));
            depthSwapchains[eye] = session.CreateSwapchain(EyeSwapchain(DxgiFormat.D32Float, SwapchainUsage.Depth));
            // Depth with stencil: the depth copy reads it as float depth with 8-bit stencil.
            eyeTextures[eye] = new RenderTexture(eyeSize, eyeSize, 24, RenderTextureFormat.ARGB32);
        }
        RenderEvents.Issue(RenderEvent.SwapchainRequests);  // the render thread makes them
        StartCoroutine(SubmitEachFrame());
    }

    SwapchainConfig EyeSwapchain(DxgiFormat format, SwapchainUsage usage)
    {
        return new SwapchainConfig { Width = (uint)eyeSize, Height = (uint)eyeSize, Format = format,
                                     ArraySize = 1, SampleCount = 1, Usage = usage };
    }

    void Update()
    {
        RenderEvents.Issue(RenderEvent.FrameSync);
        session.WaitForFrameSync();  // returns once the render thread has the runtime's frame
        poses = session.FramePoses;
        session.DispatchEvents();  // raises EventReceived for each runtime event, here
    }

    IEnumerator SubmitEachFrame()
    {
        var waitForEndOfFrame = new WaitForEndOfFrame();
        for (;;)
        {
            yield return waitForEndOfFrame;
            for (int eye = 0; eye < Eyes; ++eye)
            {
                FetchTexturesIfRecreated(eye);
                // The runtime's right-handed pose and projection, in the engine's terms.
                FrameView view = poses.GetView(eye);
                Pose pose = view.Pose.ToEnginePose();
                eyeCamera.transform.localPosition = pose.position;
                eyeCamera.transform.localRotation = pose.rotation;
                eyeCamera.projectionMatrix = view.Projection.ToEngineProjection();
                eyeCamera.targetTexture = eyeTextures[eye];
                eyeCamera.Render();
            }
            // The runtime takes four views: the two lower ones show the eyes again.
            for (int v = 0; v < SubmissionLayer.ViewCount; ++v)
                layers[0].SetView(v, EyeView(v % Eyes, poses.GetView(v)));
            Submission.Queue(layers, 1);  // false, and the console says why, when it would be dropped
            RenderEvents.Issue(RenderEvent.FrameStart);
            RenderEvents.Issue(RenderEvent.FrameSubmit);
        }
    }

    // GetNative*Ptr waits for the render thread: fetched once, and again only when the engine
    // has lost the texture (a device reset) and it is made anew.
    void FetchTexturesIfRecreated(int eye)
    {
        if (colorTextures[eye] != IntPtr.Zero && eyeTextures[eye].IsCreated()) return;
        eyeTextures[eye].Create();
        colorTextures[eye] = eyeTextures[eye].GetNativeTexturePtr();
        depthTextures[eye] = eyeTextures[eye].GetNativeDepthBufferPtr();
    }

    // The submission names the pose and projection the eye was drawn with.
    SubmissionView EyeView(int eye, FrameView runtimeView)
    {
        var whole = new ImageViewport { Width = eyeSize, Height = eyeSize };
        return new SubmissionView
        {
            Pose = runtimeView.Pose, Projection = runtimeView.Projection,
            ColorSlot = colorSwapchains[eye].Slot, ColorViewport = whole, ColorTexture = colorTextures[eye],
            HasDepth = true, DepthSlot = depthSwapchains[eye].Slot, DepthViewport = whole, DepthTexture = depthTextures[eye],
            DepthParameters = new DepthParameters { NearZ = eyeCamera.nearClipPlane, FarZ = eyeCamera.farClipPlane,
                                                    MinDepth = 0, MaxDepth = 1 },
        };
    }

    void OnDestroy() { Close(); }
    void OnApplicationQuit() { Close(); }

    void Close()
    {
        if (session == null) return;
        enabled = false;
        StopAllCoroutines();
        for (int eye = 0; eye < Eyes; ++eye)
        {
            if (colorSwapchains[eye] != null) colorSwapchains[eye].Dispose();
            if (depthSwapchains[eye] != null) depthSwapchains[eye].Dispose();
        }
        // No wait for the render thread here: at quitting it may run no more events. Requests it
        // has not run yet are dropped by the session's end, which takes its swap chains with it.
        RenderEvents.Issue(RenderEvent.SwapchainRequests);
        session.Dispose();
        session = null;
        eyeCamera.targetTexture = null;
        foreach (RenderTexture texture in eyeTextures) Destroy(texture);
    }
}
