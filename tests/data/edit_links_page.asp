<%@ Language=VBScript %>
<% Option Explicit %>
<!--#INCLUDE file="../Vistelle/include/DataProvider.asp" -->
<%
'------------------------------------------------------------------------------
' Page header for the data provider KRMOrders.
' Written by the page editor from the HeaderDTC on this page: change the control,
' not this block; the editor writes it anew whenever the page is saved.
'------------------------------------------------------------------------------
Dim mDataProvider, lLinkedDataProvider
Dim mReturnFields, mReturnLinkedFields, mLinkedFields
Dim lPageSize, lSortField

lPageSize = Request.QueryString("pagesize")
If lPageSize = "" Then lPageSize = 10

Set mDataProvider = NewDataProvider("KRMOrders")
mDataProvider.PageSize = lPageSize
mDataProvider.EnableExtraFilters = false
mDataProvider.StyleSheet = Server.MapPath("../0")
Set mReturnFields = Server.CreateObject("Scripting.Dictionary")

lSortField = Request.QueryString("sort")
Select Case mDataProvider.Kind
	Case "EAI"
		If lSortField = "" Then lSortField = ""
		mDataProvider.KeyFields = Array()
			mReturnFields.Add "Order.Number", "Order.Number"
			mReturnFields.Add "Customer.Name", "Customer.Name"
			
			
			
			
	Case "DRAV"
		If lSortField = "" Then lSortField = ""
		mDataProvider.KeyFields = Array()
			mReturnFields.Add  1, "ORDERID"
			mReturnFields.Add  2, "CUSTOMERID"
			
			
			
			
End Select
mDataProvider.SortField = lSortField

If "KRMCustomers" <> "" Then
	Set lLinkedDataProvider = NewDataProvider("KRMCustomers")
	Set mReturnLinkedFields = Server.CreateObject("Scripting.Dictionary")
	Set mLinkedFields = Server.CreateObject("Scripting.Dictionary")
	If mDataProvider.Kind = "EAI" Then
			mReturnLinkedFields.Add "Customer.City", "Customer.City"
			mReturnLinkedFields.Add "Customer.Name", "Customer.Name"
			
			mLinkedFields.Add "Number", "Customer.ID"
mLinkedFields.Add "Name", "Customer.ID"
			
	Else
			mReturnLinkedFields.Add 4, "NAME"
			
			mLinkedFields.Add "CUSTOMERID", "CUSTOMERID"
mLinkedFields.Add "ORDERID", "CUSTOMERID"
			
	End If
	mDataProvider.Link lLinkedDataProvider, mLinkedFields, mReturnLinkedFields
End If

mDataProvider.Open mReturnFields

' The page's own functions, written in the HeaderDTC for its criteria:
%>
