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
    const int ColourFormat = 28;  // DXGI_FORMAT_R8G8B8A8_UNORM, the copy target of ARGB32
    const int DepthFormat = 40;   // DXGI_FORMAT_D32_FLOAT, what the depth copy writes

    public int eyeSize = 2048;

    Camera eyeCamera;
    Session session;
    IntPtr renderEvents;
    readonly RenderTexture[] eyeTextures = new RenderTexture[Eyes];
    readonly IntPtr[] colourSlots = new IntPtr[Eyes], depthSlots = new IntPtr[Eyes];
    readonly IntPtr[] colourTextures = new IntPtr[Eyes], depthTextures = new IntPtr[Eyes];
    readonly SubmissionLayer[] layers = new SubmissionLayer[1];
    FramePoseData poses;

    void Start()
    {
        session = Session.Open();  // null, and the console says why
        if (session == null) { enabled = false; return; }
        session.EventReceived += e => Debug.Log("Zerin event " + e.Type + ": " + e.Data);
        eyeCamera = GetComponent<Camera>();
        eyeCamera.enabled = false;  // rendered by hand, once per eye
        renderEvents = EngineBridge.GetRenderEventFunc();
        for (int eye = 0; eye < Eyes; ++eye)
        {
            colourSlots[eye] = CreateSwapchain(ColourFormat, SwapchainUsage.Colour);
            depthSlots[eye] = CreateSwapchain(DepthFormat, SwapchainUsage.Depth);
            // Depth with stencil: the depth copy reads it as float depth with 8-bit stencil.
            eyeTextures[eye] = new RenderTexture(eyeSize, eyeSize, 24, RenderTextureFormat.ARGB32);
        }
        GL.IssuePluginEvent(renderEvents, RenderEvent.SwapchainRequests);  // the render thread makes them
        StartCoroutine(SubmitEachFrame());
    }

    IntPtr CreateSwapchain(int format, uint usage)
    {
        var config = new SwapchainConfig { Width = (uint)eyeSize, Height = (uint)eyeSize, Format = format,
                                           ArraySize = 1, SampleCount = 1, Usage = usage };
        return EngineBridge.QueueCreateD3D11Swapchain(ref config);
    }

    void Update()
    {
        GL.IssuePluginEvent(renderEvents, RenderEvent.FrameSync);
        EngineBridge.SyncRenderThread();  // returns once the render thread has the runtime's frame
        EngineBridge.GetFramePoseData(out poses);
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
                eyeCamera.targetTexture = eyeTextures[eye];
                eyeCamera.Render();  // a real scene places the camera from poses.View(eye).Pose first
            }
            // The runtime takes four views: the two lower ones show the eyes again.
            for (int v = 0; v < SubmissionLayer.ViewCount; ++v)
                layers[0].SetView(v, EyeView(v % Eyes, poses.View(v)));
            Submission.Queue(layers, 1);  // false, and the console says why, when it would be dropped
            GL.IssuePluginEvent(renderEvents, RenderEvent.FrameStart);
            GL.IssuePluginEvent(renderEvents, RenderEvent.FrameSubmit);
        }
    }

    // GetNative*Ptr waits for the render thread: fetched once, and again only when the engine
    // has lost the texture (a device reset) and it is made anew.
    void FetchTexturesIfRecreated(int eye)
    {
        if (colourTextures[eye] != IntPtr.Zero && eyeTextures[eye].IsCreated()) return;
        eyeTextures[eye].Create();
        colourTextures[eye] = eyeTextures[eye].GetNativeTexturePtr();
        depthTextures[eye] = eyeTextures[eye].GetNativeDepthBufferPtr();
    }

    SubmissionView EyeView(int eye, FrameView runtimeView)
    {
        var whole = new ImageViewport { Width = eyeSize, Height = eyeSize };
        return new SubmissionView
        {
            Matrix0 = runtimeView.Pose, Matrix1 = runtimeView.Projection,
            ColourSlot = colourSlots[eye], ColourViewport = whole, ColourTexture = colourTextures[eye],
            HasDepth = 1, DepthSlot = depthSlots[eye], DepthViewport = whole, DepthTexture = depthTextures[eye],
            DepthParams = new DepthParameters { NearZ = eyeCamera.nearClipPlane, FarZ = eyeCamera.farClipPlane,
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
            EngineBridge.QueueDestroySwapchain(colourSlots[eye]);
            EngineBridge.QueueDestroySwapchain(depthSlots[eye]);
        }
        // No wait for the render thread here: at quitting it may run no more events. Requests it
        // has not run yet are dropped by the session's end, which takes its swap chains with it.
        GL.IssuePluginEvent(renderEvents, RenderEvent.SwapchainRequests);
        session.Dispose();
        session = null;
        eyeCamera.targetTexture = null;
        foreach (RenderTexture texture in eyeTextures) Destroy(texture);
    }
}
